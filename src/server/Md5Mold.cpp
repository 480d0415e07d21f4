#include "Md5Mold.h"

#include "AnsiCodePage.h"

#include <array>
#include <cstdint>
#include <vector>

namespace {

using Word = std::uint32_t;

constexpr Word rotl(Word x, int n) {
    return (x << n) | (x >> (32 - n));
}

constexpr std::array<Word, 64> kSine = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

constexpr std::array<int, 16> kShift = {7, 12, 17, 22, 5, 9, 14, 20, 4, 11, 16, 23, 6, 10, 15, 21};

// The message words as the sign-in server builds them: one code per character
// (not per byte), double-byte codes sign-extended, so they spill into the
// neighbouring byte positions of the same word. The server does the same, so
// this must not be "fixed" into a byte-wise digest.
std::vector<Word> messageWords(const QString& text) {
    const auto n = static_cast<std::uint64_t>(text.size());
    const std::uint64_t count = ((n + 8) / 64 + 1) * 16;
    std::vector<Word> words(count, 0);
    for (std::uint64_t i = 0; i < n; ++i) {
        const auto code = static_cast<Word>(static_cast<std::int32_t>(AnsiCodePage::charCode(text.at(i))));
        words[i / 4] |= code << (8 * (i % 4));
    }
    words[n / 4] |= Word{0x80} << (8 * (n % 4));
    words[count - 2] = static_cast<Word>(n << 3);
    words[count - 1] = static_cast<Word>(n >> 29);
    return words;
}

void processBlock(std::array<Word, 4>& state, const Word* x) {
    Word a = state[0], b = state[1], c = state[2], d = state[3];
    for (int i = 0; i < 64; ++i) {
        Word f = 0;
        int g = 0;
        const int round = i / 16;
        if (round == 0) {
            f = (b & c) | (~b & d);
            g = i;
        } else if (round == 1) {
            f = (b & d) | (c & ~d);
            g = (5 * i + 1) % 16;
        } else if (round == 2) {
            f = b ^ c ^ d;
            g = (3 * i + 5) % 16;
        } else {
            f = c ^ (b | ~d);
            g = (7 * i) % 16;
        }
        const Word rotated = rotl(a + f + kSine[i] + x[g], kShift[round * 4 + i % 4]);
        a = d;
        d = c;
        c = b;
        b = b + rotated;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

QString wordHex(Word w) {
    static const char digits[] = "0123456789abcdef";
    QString out;
    for (int byte = 0; byte < 4; ++byte) {
        const Word v = (w >> (8 * byte)) & 0xff;
        out.append(QLatin1Char(digits[v >> 4]));
        out.append(QLatin1Char(digits[v & 0xf]));
    }
    return out;
}

} // namespace

QString MD5(const QString& text, int length) {
    const std::vector<Word> words = messageWords(text);
    std::array<Word, 4> state = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
    for (std::size_t block = 0; block < words.size(); block += 16)
        processBlock(state, words.data() + block);
    if (length == 32)
        return wordHex(state[0]) + wordHex(state[1]) + wordHex(state[2]) + wordHex(state[3]);
    return wordHex(state[1]) + wordHex(state[2]);
}
