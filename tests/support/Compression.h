#pragma once

#include <QByteArray>

namespace corvane::test {

// data compressed by zlib at its best: windowBits 15 gives a zlib stream, -15 raw deflate,
// 15 + 16 gzip.
QByteArray compressed(const QByteArray& data, int windowBits);
inline QByteArray gzip(const QByteArray& data)
{
    return compressed(data, 15 + 16);
}

} // namespace corvane::test
