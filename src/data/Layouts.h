// Record layouts of every table, in stored field order.
//
// Each layout is an X-macro list: F(member, TYPE, width) for a field and
// G(name, count) for a group that spans the next `count` fields (groups hold no
// value). The same list produces the record struct, the field dictionary used by
// the record store and the member pointers used to read and write a record.
#pragma once

#define QD_LAYOUT_SCHEDULE(F, G)                                                                             \
    F(ID, LONG, 0)                                                                                           \
    F(User, STRING, 40)                                                                                      \
    QD_LAYOUT_SCHEDULE_RULE(F, G)                                                                            \
    G(EveryOrdinal, 6)                                                                                       \
    QD_LAYOUT_SCHEDULE_ORDINALS(F, G)                                                                        \
    F(EveryType, STRING, 20)                                                                                 \
    QD_LAYOUT_SCHEDULE_TAIL(F, G)

// SyncSchedule keeps the task layout without the user field and with one more
// ordinal flag.
#define QD_LAYOUT_SYNCSCHEDULE(F, G)                                                                         \
    F(ID, LONG, 0)                                                                                           \
    QD_LAYOUT_SCHEDULE_RULE(F, G)                                                                            \
    G(EveryOrdinal, 7)                                                                                       \
    QD_LAYOUT_SCHEDULE_ORDINALS(F, G)                                                                        \
    F(Bimonthly, BYTE, 0)                                                                                    \
    F(EveryType, STRING, 20)                                                                                 \
    QD_LAYOUT_SCHEDULE_TAIL(F, G)

// The parts the two task layouts share.
#define QD_LAYOUT_SCHEDULE_RULE(F, G)                                                                        \
    F(TaskType, STRING, 20)                                                                                  \
    F(Category, STRING, 20)                                                                                  \
    F(Description, STRING, 40)                                                                               \
    F(Command, STRING, 255)                                                                                  \
    F(Path, STRING, 255)                                                                                     \
    F(ScheduleType, STRING, 15)                                                                              \
    G(DayOfWeekGroup, 7)                                                                                     \
    F(Sunday, BYTE, 0)                                                                                       \
    F(Monday, BYTE, 0)                                                                                       \
    F(Tuesday, BYTE, 0)                                                                                      \
    F(Wednesday, BYTE, 0)                                                                                    \
    F(Thursday, BYTE, 0)                                                                                     \
    F(Friday, BYTE, 0)                                                                                       \
    F(Saturday, BYTE, 0)                                                                                     \
    F(MonthRepeat, STRING, 18)                                                                               \
    F(Offset, LONG, 0)                                                                                       \
    F(Every, LONG, 0)

#define QD_LAYOUT_SCHEDULE_ORDINALS(F, G)                                                                    \
    F(Every1st, BYTE, 0)                                                                                     \
    F(Every2nd, BYTE, 0)                                                                                     \
    F(Every3rd, BYTE, 0)                                                                                     \
    F(Every4th, BYTE, 0)                                                                                     \
    F(EveryLast, BYTE, 0)                                                                                    \
    F(LastDayofMonth, BYTE, 0)

#define QD_LAYOUT_SCHEDULE_TAIL(F, G)                                                                        \
    G(ScheduleDateAndTime, 5)                                                                                \
    F(Date, LONG, 0)                                                                                         \
    F(Time, LONG, 0)                                                                                         \
    F(LastRunDate, LONG, 0)                                                                                  \
    F(LastRunTime, LONG, 0)                                                                                  \
    F(SkipNextTime, BYTE, 0)                                                                                 \
    G(AlarmGroup, 2)                                                                                         \
    F(Alarm, BYTE, 0)                                                                                        \
    F(AlarmFile, CSTRING, 255)                                                                               \
    G(AdvancedWarning, 6)                                                                                    \
    F(AdvanceWarnDate, LONG, 0)                                                                              \
    F(AdvanceWarnTime, LONG, 0)                                                                              \
    F(AdvanceWarned, BYTE, 0)                                                                                \
    F(LastWarnDate, LONG, 0)                                                                                 \
    F(LastWarnTime, LONG, 0)                                                                                 \
    F(AdvanceWarnRepeat, BYTE, 0)                                                                            \
    F(Warn, BYTE, 0)                                                                                         \
    F(SkipIfMissed, BYTE, 0)                                                                                 \
    F(SkipIfScriptActive, BYTE, 0)                                                                           \
    F(NoHistory, BYTE, 0)                                                                                    \
    F(UserSkip, BYTE, 0)                                                                                     \
    F(Disabled, BYTE, 0)                                                                                     \
    F(Completed, BYTE, 0)                                                                                    \
    F(Skipped, BYTE, 0)                                                                                      \
    G(Expiry, 2)                                                                                             \
    F(ExpiryDate, LONG, 0)                                                                                   \
    F(ExpiryTime, LONG, 0)                                                                                   \
    G(Exceptions, 9)                                                                                         \
    F(ShiftType, STRING, 20)                                                                                 \
    F(ExceptWeekends, BYTE, 0)                                                                               \
    F(ExceptWeekdays, BYTE, 0)                                                                               \
    F(ExceptHolidays, BYTE, 0)                                                                               \
    F(ExceptTime, BYTE, 0)                                                                                   \
    F(ExceptTimeBegin, LONG, 0)                                                                              \
    F(ExceptTimeEnd, LONG, 0)                                                                                \
    F(ExceptOther, STRING, 20)                                                                               \
    F(ExceptionLink, LONG, 0)                                                                                \
    G(Synchonization, 4)                                                                                     \
    F(NetworkUser, STRING, 30)                                                                               \
    F(LastChangeDate, LONG, 0)                                                                               \
    F(LastChangeTime, LONG, 0)                                                                               \
    F(OriginalID, LONG, 0)                                                                                   \
    F(Message, MEMO, 4096)

// Script steps; also the steps of a template (first field named WIZ_ID there).
#define QD_LAYOUT_SCRIPTING(F, G)                                                                            \
    F(ID, LONG, 0)                                                                                           \
    F(Sequence, LONG, 0)                                                                                     \
    F(Action, STRING, 27)                                                                                    \
    F(Keystrokes, STRING, 255)                                                                               \
    F(SecondsToWait, LONG, 0)                                                                                \
    F(WaitForWindow, STRING, 255)                                                                            \
    F(FocusOnWindow, STRING, 255)                                                                            \
    F(WindowExistance, STRING, 20)                                                                           \
    F(WindowTitleToCheckFor, STRING, 255)                                                                    \
    F(IfTimeElapsed, STRING, 20)                                                                             \
    F(TimeElapsed, LONG, 0)                                                                                  \
    F(NextTaskID, LONG, 0)                                                                                   \
    F(NetworkUser, STRING, 30)                                                                               \
    F(LastChangeDate, LONG, 0)                                                                               \
    F(LastChangeTime, LONG, 0)                                                                               \
    F(OriginalID, LONG, 0)                                                                                   \
    F(EmailID, LONG, 0)                                                                                      \
    F(Command, STRING, 255)                                                                                  \
    F(Path, STRING, 255)                                                                                     \
    F(DDEType, STRING, 20)                                                                                   \
    F(DDEApplicationName, STRING, 255)                                                                       \
    F(DDEApplicationTopic, STRING, 255)                                                                      \
    F(DDELinkItem, STRING, 80)                                                                               \
    F(DDECommand, STRING, 255)

#define QD_LAYOUT_QDUSD(F, G)                                                                                \
    F(User, STRING, 40)                                                                                      \
    F(ID, LONG, 0)                                                                                           \
    G(ScheduleDateAndTime, 5)                                                                                \
    F(Date, LONG, 0)                                                                                         \
    F(Time, LONG, 0)                                                                                         \
    F(LastRunDate, LONG, 0)                                                                                  \
    F(LastRunTime, LONG, 0)                                                                                  \
    F(SkipNextTime, BYTE, 0)                                                                                 \
    G(AdvancedWarning, 3)                                                                                    \
    F(AdvanceWarnDate, LONG, 0)                                                                              \
    F(AdvanceWarnTime, LONG, 0)                                                                              \
    F(AdvanceWarned, BYTE, 0)                                                                                \
    F(Disabled, BYTE, 0)                                                                                     \
    F(Completed, BYTE, 0)                                                                                    \
    F(Skipped, BYTE, 0)

#define QD_LAYOUT_QDSCD(F, G)                                                                                \
    F(ID, LONG, 0)                                                                                           \
    F(SCD_ID, LONG, 0)                                                                                       \
    F(ClientID, LONG, 0)

#define QD_LAYOUT_CATEGORIES(F, G) F(Category, STRING, 20)

#define QD_LAYOUT_HOLIDAYS(F, G)                                                                             \
    F(HolidayDate, LONG, 0)                                                                                  \
    F(Holiday, STRING, 30)                                                                                   \
    F(HolidayType, STRING, 20)

#define QD_LAYOUT_SYSHOTKEYS(F, G)                                                                           \
    F(ID, LONG, 0)                                                                                           \
    F(HotKey, STRING, 20)                                                                                    \
    F(Active, BYTE, 0)                                                                                       \
    F(Description, STRING, 40)                                                                               \
    F(QuickText, STRING, 40)                                                                                 \
    F(Action, STRING, 4)                                                                                     \
    F(TextType, STRING, 30)                                                                                  \
    F(Text, MEMO, 10000)

#define QD_LAYOUT_CONFIGURATION(F, G)                                                                        \
    F(DataType, STRING, 40)                                                                                  \
    F(DataValue, STRING, 255)

#define QD_LAYOUT_QD_LOG(F, G)                                                                               \
    F(LogDate, STRING, 12)                                                                                   \
    F(LogTime, STRING, 10)                                                                                   \
    F(LogLabel, STRING, 32)                                                                                  \
    F(LogData, STRING, 128)

#define QD_LAYOUT_CONTACT(F, G)                                                                              \
    F(User, STRING, 40)                                                                                      \
    F(ClientID, LONG, 0)                                                                                     \
    F(LastName, STRING, 30)                                                                                  \
    F(FirstName, STRING, 20)                                                                                 \
    F(AddressLine1, STRING, 30)                                                                              \
    F(AddressLine2, STRING, 30)                                                                              \
    F(AddressLine3, STRING, 30)                                                                              \
    F(PostalCode, STRING, 10)                                                                                \
    F(WorkDayPhone, STRING, 20)                                                                              \
    F(HomeEveningPhone, STRING, 20)                                                                          \
    F(Fax, STRING, 20)                                                                                       \
    F(OtherPhone, STRING, 20)                                                                                \
    F(Email, STRING, 40)                                                                                     \
    F(WebSite, STRING, 60)                                                                                   \
    F(ContactCategory, STRING, 20)                                                                           \
    F(Notes, MEMO, 1024)

#define QD_LAYOUT_CONTACTCATEGORIES(F, G) F(ContactCategory, STRING, 20)

// Members Mail_Server ... are stored under the names "Mail:Server" ...
#define QD_LAYOUT_MESSAGES(F, G)                                                                             \
    F(EmailID, LONG, 0)                                                                                      \
    F(MailType, STRING, 12)                                                                                  \
    F(ContactID, LONG, 0)                                                                                    \
    F(EmailTo, STRING, 255)                                                                                  \
    F(EmailToName, STRING, 255)                                                                              \
    F(EmailToGroup, STRING, 20)                                                                              \
    F(CC, STRING, 255)                                                                                       \
    F(BCC, STRING, 255)                                                                                      \
    F(Subject, STRING, 255)                                                                                  \
    F(Attachment, STRING, 255)                                                                               \
    F(LastDateSent, LONG, 0)                                                                                 \
    F(Mail_Server, STRING, 128)                                                                              \
    F(Mail_User, STRING, 128)                                                                                \
    F(News_Server, STRING, 128)                                                                              \
    F(News_User, STRING, 128)                                                                                \
    F(News_Password, STRING, 128)                                                                            \
    F(Message, MEMO, 10000)

// One contact that has received a mass mailing whose run is not finished yet.
#define QD_LAYOUT_MASSMAILSENT(F, G)                                                                         \
    F(EmailID, LONG, 0)                                                                                      \
    F(ClientID, LONG, 0)                                                                                     \
    F(Email, STRING, 40)

#define QD_LAYOUT_MSGLINK(F, G)                                                                              \
    F(ID, LONG, 0)                                                                                           \
    F(Title, STRING, 60)                                                                                     \
    F(Message, STRING, 4096)                                                                                 \
    F(Category, STRING, 20)                                                                                  \
    F(AlarmFile, STRING, 255)

#define QD_LAYOUT_TODO(F, G)                                                                                 \
    F(Done, BYTE, 0)                                                                                         \
    F(Priority, BYTE, 0)                                                                                     \
    F(Category, STRING, 20)                                                                                  \
    F(ToDo, STRING, 80)                                                                                      \
    F(CompletionDate, LONG, 0)                                                                               \
    F(CompletionTime, LONG, 0)                                                                               \
    F(NetworkUser, STRING, 30)                                                                               \
    F(LastChangeDate, LONG, 0)                                                                               \
    F(LastChangeTime, LONG, 0)                                                                               \
    F(OriginalID, LONG, 0)                                                                                   \
    F(Notes, MEMO, 4096)                                                                                     \
    F(Resolution, MEMO, 1000)

#define QD_LAYOUT_CLIPBOARD(F, G)                                                                            \
    F(Abbreviation, STRING, 20)                                                                              \
    F(Category, STRING, 20)                                                                                  \
    F(ClipDate, LONG, 0)                                                                                     \
    F(ClipTime, LONG, 0)                                                                                     \
    F(ClipHashKey, STRING, 120)                                                                              \
    F(ClipKeep, BYTE, 0)                                                                                     \
    F(ClipContents, MEMO, 8192)

#define QD_LAYOUT_CLIPBOARDCATEGORIES(F, G) F(Category, STRING, 20)

#define QD_LAYOUT_USERS(F, G)                                                                                \
    F(User, STRING, 40)                                                                                      \
    F(Password, STRING, 40)                                                                                  \
    F(ConfirmPassword, STRING, 40)                                                                           \
    F(UsePassword, BYTE, 0)                                                                                  \
    F(Security, STRING, 20)                                                                                  \
    F(SourcePath, STRING, 255)                                                                               \
    F(Notes, MEMO, 1000)

#define QD_LAYOUT_FAVORITES(F, G)                                                                            \
    F(FavType, STRING, 8)                                                                                    \
    F(FavDesc, STRING, 40)                                                                                   \
    F(Data, STRING, 1024)

#define QD_LAYOUT_COMMANDS(F, G)                                                                             \
    F(Title, STRING, 39)                                                                                     \
    F(Command, STRING, 112)

#define QD_LAYOUT_ACTIONS(F, G)                                                                              \
    F(Action, STRING, 27)                                                                                    \
    F(ActionDescription, STRING, 4096)                                                                       \
    F(Seq, LONG, 0)

#define QD_LAYOUT_SCRIPTTEMPLATES(F, G)                                                                      \
    F(WIZ_ID, LONG, 0)                                                                                       \
    F(Description, STRING, 60)                                                                               \
    F(DOSFilename, STRING, 255)

#define QD_LAYOUT_EXPORT(F, G)                                                                               \
    F(Type, STRING, 20)                                                                                      \
    F(Field1, STRING, 255)                                                                                   \
    F(Field2, STRING, 255)                                                                                   \
    F(Field3, STRING, 255)                                                                                   \
    F(Field4, STRING, 255)                                                                                   \
    F(Field5, STRING, 255)                                                                                   \
    F(Field6, STRING, 255)
