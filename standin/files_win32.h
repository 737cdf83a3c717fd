#pragma once

#include <memory>
#include <string>

#include "standin/model.h"

namespace sv::standin::win32 {

// A full path in its canonical form (backslashes, no "." or ".." parts); anything that is not
// a full path comes back unchanged, to be refused by the calls below.
std::string CanonicalPath(const std::string& fileName);

// Writes content to a full path through a temporary file in the same folder, so an existing
// file is replaced whole or left as it was. Raises sv::Failure with a plain description.
void WriteWholeFile(const std::string& fullName, const std::string& content);
// Raises sv::Failure with a plain description when the file cannot be read.
std::string ReadWholeFile(const std::string& fullName);
// A saved drawing read from a full path; raises sv::Failure with a plain description.
std::shared_ptr<Document> LoadDocument(const std::string& fullName);

}  // namespace sv::standin::win32
