// A new access key.
#include "live/AccessKey.h"
#include <random>

namespace kw::live {

std::string NewAccessKey() {
    static constexpr char Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device source;  // the system's generator (rand_s on Windows, /dev/urandom here)
    std::uniform_int_distribution<int> pick(0, static_cast<int>(sizeof Alphabet) - 2);
    std::string key(24, ' ');
    for (char& c : key)
        c = Alphabet[pick(source)];
    return key;
}

} // namespace kw::live
