// SPDX-License-Identifier: MIT
#include "selectcli/selectOptions.h"

#include <string_view>

namespace kestrune::selectcli {

namespace {

struct OptionSpec {
    char shortName;  // 0: long form only
    std::string_view longName;
    bool takesValue;
};

constexpr OptionSpec kOptions[] = {
    {'H', "with-filename", false}, {'s', "squeeze", false},
    {'a', "attr", true},           {0, "html", false},
    {'j', "json", false},          {0, "encoding", true},
    {0, "html-whitespace", false}, {'h', "help", false},
    {0, "version", false},
};

void apply(const OptionSpec& spec, std::string_view value, SelectOptions& options) {
    const std::string_view name = spec.longName;
    if (name == "with-filename") {
        options.withFilename = true;
    } else if (name == "squeeze") {
        options.squeeze = true;
    } else if (name == "attr") {
        options.attributes.emplace_back(value);
        if (options.form == OutputForm::Text) options.form = OutputForm::Attributes;
    } else if (name == "html") {
        options.form = OutputForm::Html;
    } else if (name == "json") {
        options.form = OutputForm::Json;
    } else if (name == "encoding") {
        options.encoding = value;
    } else if (name == "html-whitespace") {
        options.htmlWhitespace = true;
    } else if (name == "help") {
        options.help = true;
    } else {
        options.version = true;
    }
}

}  // namespace

bool parseOptions(int argc, const char* const* argv, SelectOptions& options, std::string& error) {
    std::vector<std::string_view> operands;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            operands.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg.starts_with("--")) {
            const std::string_view body = arg.substr(2);
            const std::string_view name = body.substr(0, body.find('='));
            const OptionSpec* spec = nullptr;
            for (const OptionSpec& s : kOptions) {
                if (s.longName == name) spec = &s;
            }
            if (spec == nullptr) {
                error = "unknown option '" + std::string(arg) + "'";
                return false;
            }
            std::string_view value;
            if (name.size() < body.size()) {
                if (!spec->takesValue) {
                    error = "option '--" + std::string(name) + "' takes no value";
                    return false;
                }
                value = body.substr(name.size() + 1);
            } else if (spec->takesValue) {
                if (i + 1 >= argc) {
                    error = "option '--" + std::string(name) + "' needs a value";
                    return false;
                }
                value = argv[++i];
            }
            apply(*spec, value, options);
        } else {
            // A group of short options; one that takes a value ends the group.
            for (std::size_t k = 1; k < arg.size(); ++k) {
                const std::string option{'-', arg[k]};
                const OptionSpec* spec = nullptr;
                for (const OptionSpec& s : kOptions) {
                    if (s.shortName != 0 && s.shortName == arg[k]) spec = &s;
                }
                if (spec == nullptr) {
                    error = "unknown option '" + option + "'";
                    return false;
                }
                std::string_view value;
                if (spec->takesValue) {
                    if (k + 1 < arg.size()) {
                        value = arg.substr(k + 1);
                    } else if (i + 1 < argc) {
                        value = argv[++i];
                    } else {
                        error = "option '" + option + "' needs a value";
                        return false;
                    }
                    k = arg.size();
                }
                apply(*spec, value, options);
            }
        }
    }
    if (options.help || options.version) return true;
    if (operands.empty()) {
        error = "no selector given";
        return false;
    }
    options.selector = operands.front();
    options.files.assign(operands.begin() + 1, operands.end());
    return true;
}

const char* usageText() {
    return "Usage: kestrune-select [OPTION]... SELECTOR [FILE]...\n"
           "Print what the CSS selector SELECTOR matches in each HTML FILE, one line per\n"
           "match in document order, in UTF-8. With no FILE, or when FILE is -, read\n"
           "standard input.\n"
           "\n"
           "  -a, --attr=NAME        print the attribute NAME (repeatable: values joined by TAB)\n"
           "      --html             print each match's HTML\n"
           "  -j, --json             print one JSON object per match: file, text, attrs\n"
           "  -s, --squeeze          collapse runs of white space to one space and trim\n"
           "  -H, --with-filename    start each line with the file name and ':'\n"
           "      --encoding=NAME    read the input in encoding NAME (else detected)\n"
           "      --html-whitespace  tag and attribute names also end at TAB, LF, FF, CR\n"
           "  -h, --help             show this help and exit\n"
           "      --version          show the version and exit\n"
           "\n"
           "Exit status: 0 when something matched, 1 when nothing did, 2 on an error.\n";
}

}  // namespace kestrune::selectcli
