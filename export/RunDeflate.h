// A compressor for picture rows that finds only two kinds of repeat: a
// byte repeating the one before it (runs of background, of a stroke, or
// zeros after the Sub filter) and bytes repeating those one row earlier
// (the rows above and below a formula, the sides of a fraction bar or a
// root). A formula picture is almost all such repeats, so this finds nearly
// what a general compressor finds, in a single pass that skips a long
// repeat eight bytes at a time instead of indexing every byte of it. The
// result is an ordinary zlib stream (RFC 1950 around RFC 1951 blocks with
// their own Huffman codes) that any inflater reads. Plain C++ and Qt's
// byte array.
#pragma once

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <span>

// Appends `data` to `out` as one zlib stream. `period` is the distance to
// the byte one row earlier (the bytes of a row with its filter byte); a
// period beyond deflate's window of 32 KiB only finds runs.
void AppendRunDeflate(QByteArray& out, std::span<const std::uint8_t> data, std::size_t period);
