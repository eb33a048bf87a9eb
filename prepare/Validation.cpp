#include "prepare/Validation.h"

#include "platform/PathRules.h"
#include "platform/System.h"
#include "prepare/ProgramFolder.h"
#include "prepare/Texts.h"

namespace prepare {
namespace {

bool isEmpty(const std::optional<std::string>& text) {
    return text && text->empty();
}

bool writable(const std::optional<std::string>& text) {
    return text && !hasControlCharacter(*text);
}

// A rejection that focuses a field of start-menu row `row` (0-based).
Rejection ofName(std::string message, int row) {
    return Rejection{std::move(message), Field::StartMenuName, row + 1};
}
Rejection ofFile(std::string message, int row) {
    return Rejection{std::move(message), Field::StartMenuFile, row + 1};
}

} // namespace

bool hasControlCharacter(std::string_view text) {
    // Second bytes of double-byte characters are 0x40 or above, so a control
    // byte is always a character of its own.
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F)
            return true;
    }
    return false;
}

bool readsBackAsWritten(std::string_view value) {
    if (value.empty())
        return true;
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\v'; };
    const char first = value.front();
    const char last = value.back();
    if (blank(first) || blank(last))
        return false;
    if (value.size() >= 2 && first == last && (first == '"' || first == '\''))
        return false;
    return !hasControlCharacter(value);
}

bool hasUnusableNameCharacter(std::string_view text) {
    constexpr std::string_view unusable = "\\/:*?\"<>|";
    // Only the first byte of each character is looked at.
    for (std::size_t i = 0; i < text.size(); i = pathrules::nextCharacter(text, i)) {
        if (unusable.find(text[i]) != unusable.npos)
            return true;
    }
    return false;
}

bool isReservedName(std::string_view name) {
    if (!name.empty() && name.find_first_not_of(". ") == name.npos)
        return true;
    std::string_view stem = name.substr(0, name.find('.'));
    stem = stem.substr(0, stem.find_last_not_of(' ') + 1);
    std::string upper(stem);
    for (char& c : upper)
        c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    if (upper == "CON" || upper == "PRN" || upper == "AUX" || upper == "NUL")
        return true;
    return upper.size() == 4 && (upper.starts_with("COM") || upper.starts_with("LPT")) &&
           upper[3] >= '1' && upper[3] <= '9';
}

std::string resolvedFile(platform::System& sys, const std::string& path) {
    const auto found = sys.findFirst(path);
    return found ? std::string(pathrules::folderPart(path)) + found->name : path;
}

std::optional<Rejection> validateRequest(platform::System& sys, RunState& state,
                                         const RequestTexts& texts) {
    if (isEmpty(texts.programFile))
        return Rejection{text::noProgramFile(), Field::ProgramFile};
    if (isEmpty(texts.application))
        return Rejection{text::noApplication(), Field::Application};

    // Every text that goes into the control file must be written faithfully.
    if (!writable(texts.programFile))
        return Rejection{text::unwritableText(text::fieldProgramFile()), Field::ProgramFile};
    if (!writable(texts.application))
        return Rejection{text::unwritableText(text::fieldApplication()), Field::Application};
    for (int row = 0; row < StartMenuRowCount; ++row) {
        const auto& file = texts.startMenuFiles[row];
        if (isEmpty(file))
            continue; // a row without a file is ignored, whatever its name holds
        if (!writable(file))
            return ofFile(text::unwritableText(text::fieldStartMenuFile(row + 1)), row);
        if (!writable(texts.startMenuNames[row]))
            return ofName(text::unwritableText(text::fieldStartMenuName(row + 1)), row);
    }

    // The software's name names the start-menu group and its shortcuts, a
    // row's name its shortcut: the installer cannot make them otherwise.
    struct NameRule {
        bool (*refuses)(std::string_view);
        std::string (*message)(std::string_view field);
    };
    for (const NameRule rule : {NameRule{hasUnusableNameCharacter, text::unusableShortcutName},
                                NameRule{isReservedName, text::reservedShortcutName}}) {
        if (rule.refuses(*texts.application))
            return Rejection{rule.message(text::fieldApplication()), Field::Application};
        for (int row = 0; row < StartMenuRowCount; ++row) {
            if (!texts.startMenuFiles[row]->empty() && rule.refuses(*texts.startMenuNames[row]))
                return ofName(rule.message(text::fieldStartMenuName(row + 1)), row);
        }
    }

    const std::string& programFile = *texts.programFile;
    if (!platform::fileExists(sys, programFile))
        return Rejection{text::programFileMissing(), Field::ProgramFile};

    // The request works on the file the field names: typed by hand, or changed
    // since the last browse, the field's text gives the program values.
    if (programFile != state.ProgramFileName) {
        std::string resolved = resolvedFile(sys, programFile);
        if (hasControlCharacter(resolved))
            return Rejection{text::unwritableText(text::fieldProgramFile()), Field::ProgramFile};
        setProgramFile(state, resolved);
    }

    for (int row = 0; row < StartMenuRowCount; ++row) {
        const std::string& file = *texts.startMenuFiles[row];
        if (file.empty())
            continue;
        if (file.compare(0, state.ProgramFolderLength, state.ProgramFolder) != 0)
            return ofFile(text::startMenuFileOutsideFolder(), row);
        if (!platform::fileExists(sys, file))
            return ofFile(text::startMenuFileMissing(), row);
    }

    const std::string installer = installerBeside(state.ProgramFolder);
    if (!platform::fileExists(sys, installer))
        return Rejection{text::installerMissing(), Field::None};
    if (state.ProgramFileName == installer)
        return Rejection{text::programFileIsInstaller(), Field::ProgramFile};
    return std::nullopt;
}

} // namespace prepare
