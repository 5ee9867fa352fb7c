// The definition file in its TXT form: a standard-directory line, then case records.
#pragma once

namespace corvala4 {

class TesterCore;

/// Reads the tester's definition file: sets its standard directory and fills its
/// collection anew. Text that does not fit a record is passed over silently.
void LoadTxtDefinition(TesterCore& tester);

}  // namespace corvala4
