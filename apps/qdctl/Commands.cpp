// The list of qdctl commands. A new command: declare it in Context.h (or a header
// of its own) and add a line here.
#include "Context.h"

namespace qdctl {

const std::vector<Command>& commands() {
    static const std::vector<Command> list = {
        {"init", "  init                                      create or open the data set\n", cmdInit, true},
        {"table", "  table list                                the tables with their files, keys and record counts\n",
         cmdTable, true},
        {"rec",
         "  rec add TABLE FIELD=VALUE...              add a record; prints its key\n"
         "  rec get TABLE KEYFIELD=VALUE...           show one record\n"
         "  rec set TABLE KEYFIELD=VALUE... -- FIELD=VALUE...\n"
         "                                            change one record\n"
         "  rec del TABLE KEYFIELD=VALUE...           delete one record with its related records\n"
         "  rec list TABLE [--key KEY] [--from FIELD=VALUE...] [--limit N]\n"
         "                                            records in key order\n",
         cmdRec, true},
    };
    return list;
}

} // namespace qdctl
