#pragma once
// What GetKeyValue makes of the bytes a registry query wrote into its buffer.
// Pure functions: no registry, no state.
#include <QByteArray>
#include <QString>
#include <cstdint>

namespace RegistryValueText {

// The text of a value: the first `written` bytes of the buffer (never more than
// its capacity), less one when the last of them is a NUL.
QByteArray Text(const char* buffer, uint32_t capacity, uint32_t written);

// Applies a query's result to KeyVal:
//  - TypeSz: KeyVal becomes the text (system code page);
//  - TypeDword: KeyVal becomes the number in decimal, read from the value's
//    four bytes, least significant first, as an unsigned 32-bit number;
//  - any other type: KeyVal is left as it was.
void Apply(const char* buffer, uint32_t capacity, uint32_t written, uint32_t type, QString& KeyVal);

}  // namespace RegistryValueText
