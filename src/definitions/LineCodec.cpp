#include "definitions/LineCodec.h"

namespace nightjar::definitions {

namespace {

char shift(char c, int by) {
    return static_cast<char>(static_cast<unsigned char>(c) + by);
}

}  // namespace

std::string ScrambleLine(std::string_view plain) {
    std::string out(plain);
    for (char& c : out) {
        c = static_cast<unsigned char>(c) + 64 >= 256 ? shift(c, -191) : shift(c, 64);
    }
    return out;
}

std::string UnscrambleLine(std::string_view stored) {
    std::string out(stored);
    for (char& c : out) {
        c = UnscrambleChar(c);
    }
    return out;
}

}  // namespace nightjar::definitions
