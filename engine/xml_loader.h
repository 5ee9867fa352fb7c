// The XML form of the definition file: the standard directory and one element per
// case, read with libxml2 (any encoding the document declares, GBK included).
#pragma once

namespace corvala4 {

class TesterCore;

/// Sets the tester's StandardFolder and refills its case collection from DefinitionFile.
/// A document without the standard-directory node fails with error 91; a case element
/// without one of its attributes fails with error 94, after the cases before it were added.
void LoadXmlDefinition(TesterCore& tester);

}  // namespace corvala4
