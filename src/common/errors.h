// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The exceptions the program raises. Every one carries its message as UTF-8 text, ready for
// the application's error box.

#include <cstdint>
#include <stdexcept>
#include <string>

class EPagewickError : public std::runtime_error {
public:
    explicit EPagewickError(const std::string& message) : std::runtime_error(message) {}
};

// A file that cannot be opened for reading.
class EFOpenError : public EPagewickError {
public:
    explicit EFOpenError(const std::string& fileName);
};

// A line index outside one of the reader's lists.
class EListError : public EPagewickError {
public:
    explicit EListError(int64_t index);
};

// A file whose structure the reader cannot follow (a stream compressed by a method it does
// not know, for example); the message names what stopped it.
class EPdfFormatError : public EPagewickError {
public:
    using EPagewickError::EPagewickError;
};

// Text that is not the number it should be (a bad hexadecimal digit, for example).
class EConvertError : public EPagewickError {
public:
    using EPagewickError::EPagewickError;
};

// A file that cannot be created or written.
class EFCreateError : public EPagewickError {
public:
    explicit EFCreateError(const std::string& fileName);
    // With the reason in words ("空き容量がありません").
    EFCreateError(const std::string& fileName, const std::string& reason);
};

class EInvalidFileName : public EPagewickError {
public:
    using EPagewickError::EPagewickError;
};
