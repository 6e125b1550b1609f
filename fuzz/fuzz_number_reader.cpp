// Reads numbers from the fuzz bytes until the input is spent or a read is
// stuck, and checks each read against an independent strtod conversion.
#include "analysis/number_reader.h"
#include "fuzz_support.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

int input_fd() {
    static const int fd = memfd_create("number_reader_input", MFD_CLOEXEC);
    check(fd >= 0);
    return fd;
}

// Bytes taken from the input so far: read from the file minus still buffered.
std::size_t consumed(const input_stream& in) {
    off_t read_so_far = lseek(in.fd, 0, SEEK_CUR);
    check(read_so_far >= 0);
    check(in.position <= in.length);
    return static_cast<std::size_t>(read_so_far) - (in.length - in.position);
}

bool blank(std::uint8_t c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// A NaN no conversion produces, so an overwrite on a failed read shows.
constexpr std::uint64_t untouched_bits = 0x7ff4'0000'dead'beefULL;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const int fd = input_fd();
    load(fd, data, size);
    static input_stream in;
    in = input_stream{};
    in.fd = fd;

    std::size_t offset = 0;
    for (;;) {
        const std::size_t before = offset;
        double value = std::bit_cast<double>(untouched_bits);
        const read_outcome outcome = read_number(in, value);
        const bool ok = outcome == read_outcome::read;
        offset = consumed(in);
        check(offset >= before);
        check(offset <= size);

        // All leading whitespace goes, then at most the text limit.
        std::size_t start = before;
        while (start < size && blank(data[start]))
            ++start;
        check(offset >= start);
        // Ended means only blank space was left.
        check((outcome == read_outcome::ended) == (start == size));
        const std::string text(reinterpret_cast<const char*>(data) + start, offset - start);
        check(text.size() <= static_cast<std::size_t>(number_text_limit));
        check(text.find_first_not_of("+-.0123456789eE") == std::string::npos);

        const bool has_digit = text.find_first_of("0123456789") != std::string::npos;
        check(ok == has_digit);
        if (ok) {
            char* end = nullptr;
            const double expected = std::strtod(text.c_str(), &end);
            check(std::bit_cast<std::uint64_t>(value) == std::bit_cast<std::uint64_t>(expected));
            // strtod leaves only a dangling exponent letter with its sign.
            const std::string rest(end);
            check(rest.empty() || rest == "e" || rest == "E" || rest == "e+" || rest == "e-" ||
                  rest == "E+" || rest == "E-");
        } else {
            check(std::bit_cast<std::uint64_t>(value) == untouched_bits);
        }
        if (offset == before)
            break;
    }
    // Stuck only on a character that can neither start a number nor be skipped.
    if (offset < size) {
        const std::uint8_t c = data[offset];
        check(!blank(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.');
    }
    return 0;
}
