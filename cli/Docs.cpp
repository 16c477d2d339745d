// Manual page and completion scripts from the parser.
#include "cli/Docs.hpp"

#include <map>
#include <vector>

namespace carvento::cli {
namespace {

struct VerbDoc {
    std::string name; // "gauss-forward", "ellipsoid add"
    CLI::App* app = nullptr;
};

// Every verb that runs something: leaves of the subcommand tree, in declaration order.
void CollectVerbs(CLI::App& app, const std::string& prefix, std::vector<VerbDoc>& verbs)
{
    for (CLI::App* sub : app.get_subcommands({})) {
        const std::string name = prefix.empty() ? sub->get_name() : prefix + " " + sub->get_name();
        if (sub->get_subcommands({}).empty())
            verbs.push_back({name, sub});
        else
            CollectVerbs(*sub, name, verbs);
    }
}

// The option's spellings: "-o", "--points", or the positional's name.
std::vector<std::string> Spellings(const CLI::Option& option)
{
    std::vector<std::string> names;
    for (const std::string& name : option.get_snames())
        names.push_back("-" + name);
    for (const std::string& name : option.get_lnames())
        names.push_back("--" + name);
    return names;
}

bool TakesValue(const CLI::Option& option)
{
    return option.get_items_expected_min() > 0 && !option.get_positional();
}

// The fixed values of an option, by what its name ends with.
std::vector<std::string> FixedValues(const std::string& name)
{
    if (name.ends_with("ellipsoid"))
        return {"beijing54", "xian80", "cgcs2000", "wgs84", "0", "1", "2", "3"};
    if (name.ends_with("unit"))
        return {"dms", "dotted", "deg"};
    if (name.ends_with("coords"))
        return {"plane", "geodetic"};
    if (name == "--encoding")
        return {"gbk", "utf-8"};
    return {};
}

std::string Troff(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else if (c == '\n')
            out += "\n.br\n";
        else if ((c == '.' || c == '\'') && (i == 0 || text[i - 1] == '\n'))
            out += "\\&" + std::string(1, c);
        else
            out += c;
    }
    return out;
}

std::string Join(const std::vector<std::string>& words, const char* separator = " ")
{
    std::string text;
    for (const std::string& word : words)
        text += (text.empty() ? "" : separator) + word;
    return text;
}

std::string ZshQuote(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\'')
            out += "'\\''";
        else if (c == '[' || c == ']' || c == ':' || c == '\\')
            out += std::string("\\") + c;
        else
            out += c;
    }
    return out;
}

} // namespace

std::string ManPage(CLI::App& app, const std::string& version)
{
    std::vector<VerbDoc> verbs;
    CollectVerbs(app, "", verbs);
    std::string page = ".TH CARVENTO\\-CLI 1 \"\" \"Carvento " + version +
                       "\" \"User Commands\"\n.SH NAME\ncarvento\\-cli \\- " +
                       Troff(app.get_description()) + "\n.SH SYNOPSIS\n.B carvento\\-cli\n" +
                       ".I VERB\n[\\fIoptions\\fR] [\\fIFILE\\fR...]\n.br\n" +
                       ".B carvento\\-cli \\-\\-version\n.SH DESCRIPTION\n" +
                       Troff(app.get_footer()) + "\n.SH VERBS\n";
    for (const VerbDoc& verb : verbs) {
        page += ".SS " + Troff(verb.name) + "\n" + Troff(verb.app->get_description()) + "\n";
        for (const CLI::Option* option : verb.app->get_options()) {
            std::vector<std::string> names = Spellings(*option);
            if (option->get_positional())
                names = {option->get_name()};
            std::string head = Join(names, ", ");
            if (TakesValue(*option))
                head += " " + (option->get_type_name().empty() ? std::string("VALUE")
                                                               : option->get_type_name());
            page += ".TP\n.B " + Troff(head) + "\n" + Troff(option->get_description()) + "\n";
        }
        if (!verb.app->get_footer().empty())
            page += ".PP\n" + Troff(verb.app->get_footer()) + "\n";
    }
    page += ".SH EXIT STATUS\n0 done, 1 input refused, unreadable or only partly used (the page's "
            "message on standard error), 2 usage error.\n.SH SEE ALSO\n.BR carvento (1),\n"
            ".BR carvento\\-earth (1)\n";
    return page;
}

std::string BashCompletion(CLI::App& app)
{
    std::vector<VerbDoc> verbs;
    CollectVerbs(app, "", verbs);
    std::vector<std::string> topWords;
    std::map<std::string, std::vector<std::string>> options; // by first word of the verb
    std::map<std::string, std::vector<std::string>> fixed;   // option -> values
    for (const VerbDoc& verb : verbs) {
        const std::string first = verb.name.substr(0, verb.name.find(' '));
        if (topWords.empty() || topWords.back() != first)
            topWords.push_back(first);
        if (verb.name.find(' ') != std::string::npos)
            options[first].push_back(verb.name.substr(verb.name.find(' ') + 1));
        for (const CLI::Option* option : verb.app->get_options())
            for (const std::string& name : Spellings(*option)) {
                options[first].push_back(name);
                if (TakesValue(*option) && !FixedValues(name).empty())
                    fixed[name] = FixedValues(name);
            }
    }
    std::string script = "# bash completion for carvento-cli (made by carvento-cli itself)\n"
                         "_carvento_cli()\n{\n"
                         "    local cur=\"${COMP_WORDS[COMP_CWORD]}\"\n"
                         "    local prev=\"${COMP_WORDS[COMP_CWORD-1]}\"\n"
                         "    if [ \"$COMP_CWORD\" -eq 1 ]; then\n"
                         "        COMPREPLY=($(compgen -W \"" +
                         Join(topWords) +
                         " --help --version\" -- \"$cur\"))\n"
                         "        return\n    fi\n"
                         "    local values=\"\"\n    case \"$prev\" in\n";
    for (const auto& [name, values] : fixed) {
        script += "    " + name + ")\n        values=\"" + Join(values) + "\"\n";
        if (name.ends_with("ellipsoid"))
            script += "        values=\"$values $(carvento-cli ellipsoid list 2>/dev/null | "
                      "awk -F'\\t' '$1 >= 4 && $2 !~ / / { print $2 }')\"\n";
        script += "        ;;\n";
    }
    script += "    esac\n"
              "    if [ -n \"$values\" ]; then\n"
              "        COMPREPLY=($(compgen -W \"$values\" -- \"$cur\"))\n"
              "        return\n    fi\n"
              "    local words=\"\"\n    case \"${COMP_WORDS[1]}\" in\n";
    for (const auto& [verb, names] : options)
        script += "    " + verb + ") words=\"" + Join(names) + "\" ;;\n";
    script += "    esac\n"
              "    if [[ \"$cur\" == -* || \"${COMP_WORDS[1]}\" == ellipsoid ]]; then\n"
              "        COMPREPLY=($(compgen -W \"$words\" -- \"$cur\"))\n"
              "    fi\n}\n"
              "complete -o default -F _carvento_cli carvento-cli\n";
    return script;
}

std::string ZshCompletion(CLI::App& app)
{
    std::vector<VerbDoc> verbs;
    CollectVerbs(app, "", verbs);
    std::string list;
    std::string cases;
    std::map<std::string, std::string> described;
    for (const VerbDoc& verb : verbs) {
        const std::string first = verb.name.substr(0, verb.name.find(' '));
        if (!described.contains(first)) {
            described[first] = verb.app->get_parent()->get_name() == app.get_name()
                                   ? verb.app->get_description()
                                   : verb.app->get_parent()->get_description();
            list += "        '" + ZshQuote(first) + ":" + ZshQuote(described[first]) + "'\n";
        }
        if (first != verb.name)
            continue; // nested verbs (ellipsoid list|add) complete their words only
        std::string specs;
        for (const CLI::Option* option : verb.app->get_options()) {
            if (option->get_positional())
                continue;
            for (const std::string& name : Spellings(*option)) {
                std::string spec = "'" + ZshQuote(name) + "[" +
                                   ZshQuote(option->get_description()) + "]";
                if (TakesValue(*option)) {
                    const std::vector<std::string> values = FixedValues(name);
                    spec += values.empty() ? ":value:_files" : ":value:(" + Join(values) + ")";
                }
                specs += " \\\n            " + spec + "'";
            }
        }
        cases += "        " + first + ")\n            _arguments" + specs +
                 " \\\n            '*:file:_files'\n            ;;\n";
    }
    return "#compdef carvento-cli\n# zsh completion for carvento-cli (made by carvento-cli "
           "itself)\n_carvento_cli() {\n    local -a verbs\n    verbs=(\n" +
           list +
           "    )\n    if (( CURRENT == 2 )); then\n        _describe 'verb' verbs\n        "
           "return\n    fi\n    shift words\n    (( CURRENT-- ))\n    case $words[1] in\n" +
           cases +
           "        ellipsoid)\n            _values 'command' list add\n            ;;\n"
           "    esac\n}\n_carvento_cli \"$@\"\n";
}

} // namespace carvento::cli
