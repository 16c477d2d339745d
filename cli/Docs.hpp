// What carvento-cli says about itself, made from its own parser so that it can never differ from
// what the verbs accept: the manual page (one section per verb) and shell completion for bash and
// zsh (verbs, options, and the values of the options that have a fixed set).
#pragma once

#include <CLI/CLI.hpp>

#include <string>

namespace carvento::cli {

std::string ManPage(CLI::App& app, const std::string& version);
std::string BashCompletion(CLI::App& app);
std::string ZshCompletion(CLI::App& app);

} // namespace carvento::cli
