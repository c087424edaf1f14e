// The entry that starts the program with Windows: a value named after the
// program under the system's Run key. Machine-wide where the user may write
// there, under the user's own Run key where not (an ordinary user of
// Windows NT, 2000 and XP).
#pragma once

#include <string>

namespace tavrel {

// Writes `command` as value `name`, machine-wide or, when that is refused,
// for this user alone; the other place is cleared so that the program does
// not start twice.
void WriteRunEntry(const std::string& name, const std::string& command);
// Removes the value from both places.
void RemoveRunEntry(const std::string& name);

}  // namespace tavrel
