#pragma once

#include <stdexcept>
#include <string>

// The one error type of the core: a message key of the message table and the
// argument that fills its "%s". Windows and the command line turn it into text.
class EMessageError : public std::runtime_error {
public:
    EMessageError(std::string key, std::string arg = {})
        : std::runtime_error(key + (arg.empty() ? std::string() : ": " + arg)), Key(std::move(key)),
          Arg(std::move(arg)) {}

    std::string Key;
    std::string Arg;
};
