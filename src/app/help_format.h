// The --help layout of our programs: the usage line first, then what the program does, the
// arguments and options, and the footer. The shape help2man and man readers expect.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

namespace kvr {

class HelpFormatter : public CLI::Formatter {
  public:
    HelpFormatter() {
        column_width(24);
        label("Positionals", "Arguments");
    }

    std::string make_help(const CLI::App* app, std::string name,
                          CLI::AppFormatMode mode) const override {
        if (mode == CLI::AppFormatMode::Sub) {
            return make_expanded(app);
        }
        return make_usage(app, name) + "\n" + make_description(app) + make_positionals(app) +
               make_groups(app, mode) + "\n" + make_footer(app);
    }

    // "-h, --help" rather than "-h,--help".
    std::string make_option_name(const CLI::Option* option, bool positional) const override {
        std::string name = CLI::Formatter::make_option_name(option, positional);
        for (size_t comma = name.find(','); comma != std::string::npos;
             comma = name.find(',', comma + 2)) {
            name.insert(comma + 1, " ");
        }
        return name;
    }
};

} // namespace kvr
