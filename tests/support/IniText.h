// An independent reading of a control file's bytes for tests: sections and
// keys in file order, exactly as written, decoded from code page 932.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace testing_support {

struct IniSection {
    std::string name;
    std::vector<std::pair<std::string, std::string>> entries; // UTF-8
};

// Splits on CR LF only; `crlfOnly` tells whether every line ended so.
std::vector<IniSection> parseIniText(const std::string& cp932Bytes, bool* crlfOnly = nullptr);

// "key=value" of one section, in order, for readable comparisons.
std::vector<std::string> sectionLines(const std::vector<IniSection>& ini, const std::string& name);

} // namespace testing_support
