// DBC files: signal databases as Vector's CANdb++ and most bus tools write
// them. Reading keeps what the database model holds and, as written, every
// other statement (environment variables, signal groups, ...).
#pragma once

#include <string>
#include <string_view>

#include "ombrix/signals/signal_database.h"

namespace ombrix::formats {

/// The database in DBC text; FileError(name, line, "column C: ...") saying
/// what is wrong where for malformed text.
signals::SignalDatabase ParseDbc(std::string_view text, const std::string& name = "text");
/// ParseDbc of a file's contents; FileError when it cannot be read.
signals::SignalDatabase ReadDbcFile(const std::string& path);

/// The database as DBC text, which ParseDbc reads back to the same
/// database. A node left empty (a message's sender, a signal without
/// receivers) is written as Vector__XXX, which reading takes as none.
std::string FormatDbc(const signals::SignalDatabase& database);
/// FormatDbc into a file, written safely (the old one stays whole until
/// the new one is).
void WriteDbcFile(const signals::SignalDatabase& database, const std::string& path);

}  // namespace ombrix::formats
