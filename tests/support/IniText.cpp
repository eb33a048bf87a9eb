#include "support/IniText.h"

#include "platform/Cp932.h"

#include <stdexcept>

namespace testing_support {

std::vector<IniSection> parseIniText(const std::string& bytes, bool* crlfOnly) {
    auto decoded = platform::utf8FromCp932(bytes);
    if (!decoded)
        throw std::runtime_error("control file is not valid code page 932");
    const std::string& text = *decoded;
    std::vector<IniSection> out;
    bool crlf = true;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        else if (end != text.size() || !line.empty())
            crlf = false;
        start = end + 1;
        if (line.empty())
            continue;
        if (line.front() == '[' && line.back() == ']') {
            out.push_back({line.substr(1, line.size() - 2), {}});
            continue;
        }
        const std::size_t eq = line.find('=');
        if (out.empty() || eq == std::string::npos)
            throw std::runtime_error("unexpected line: " + line);
        out.back().entries.emplace_back(line.substr(0, eq), line.substr(eq + 1));
    }
    if (crlfOnly)
        *crlfOnly = crlf;
    return out;
}

std::vector<std::string> sectionLines(const std::vector<IniSection>& ini, const std::string& name) {
    for (const auto& section : ini) {
        if (section.name == name) {
            std::vector<std::string> lines;
            for (const auto& [k, v] : section.entries)
                lines.push_back(k + "=" + v);
            return lines;
        }
    }
    return {};
}

} // namespace testing_support
