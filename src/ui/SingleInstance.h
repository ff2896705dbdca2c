// One resident program per data folder, user and display: the first qd
// listens on a private local socket; a second one on the same folder asks the
// first to come to the front and ends.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

#include <filesystem>

namespace qdui {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(QObject* parent = nullptr);
    ~SingleInstance() override;

    enum class Outcome {
        First,       // this process is the one; it now listens
        RaisedOther, // another one runs on the folder and was asked to come forward
        Failed,      // neither (the reason in `error`); the caller may go on alone
    };
    Outcome claim(const std::filesystem::path& dataFolder, const QString& display, QString& error);

    // The socket of a folder and display in the user's private runtime folder
    // ($XDG_RUNTIME_DIR/quandrel, else /tmp/quandrel-<uid>, made 0700 and
    // refused when another user owns it). Empty with `error` when there is none.
    static QString socketPath(const std::filesystem::path& dataFolder, const QString& display,
                              QString& error);

    QString serverPath() const { return server_.fullServerName(); }

signals:
    // Another qd asked this one to come to the front.
    void raiseRequested();

private:
    void onConnection();
    QLocalServer server_;
};

} // namespace qdui
