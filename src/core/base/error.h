// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <stdexcept>
#include <string>

namespace halyard {

// An error that ends the running command. One boundary per command catches it and shows its text
// in the general error box; the application then carries on.
class Error : public std::runtime_error {
public:
    explicit Error(const std::string& text) : std::runtime_error(text) {}
};

// The system's own error texts.
std::string CannotOpenFile(const std::string& name);   // "Cannot open file %s"
std::string CannotCreateFile(const std::string& name); // "Cannot create file %s"
std::string ListIndexOutOfBounds(long index);          // "List index out of bounds (%d)"
std::string NotAValidInteger(const std::string& text); // "'%s' is not a valid integer value"

// Decimal conversion that fails the way the original does ("'%s' is not a valid integer value").
int StrToInt(const std::string& text);

} // namespace halyard
