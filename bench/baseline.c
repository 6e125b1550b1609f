/* The least a whole run of quelmar could cost, to time it against: read the
   file name and the five numbers as whitespace-separated tokens from standard
   input, then write the console and report bytes that quelmar writes for the
   timed input (out.txt 2 1000 4 3000 1), taken from a real run. Nothing is
   computed; only the file name is used. */
#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

/* Pieces in the order written; the banner, the units and the frequency block
   go to both the console and the report. */
static const char banner[] = "\r\n\r\n\r\n quelmar  ver 1.0 \r\n"
                             "\r\n By the quelmar developers \r\n Email:  quelmar@example.org";
static const char console_heading[] = "\r\n\r\n\r\n Modal Method for Torsional Systems \r\n"
                                      "\r\n Enter output filename \r\n"
                                      "\r\n";
static const char report_heading[] = "\r\n\r\n\r\n Modal Method for Torsional Systems \r\n\r\n";
static const char units[] = "\r\n\r\n Units: \r\n"
                            "\r\n    inertia   (kg m^2) "
                            "\r\n    stiffness (N m/rad) \r\n\r\n";
static const char prompts[] = "\r\n\r\n Enter inertia of disk  1 \r\n"
                              "\r\n\r\n Enter stiffness of shaft 1 \r\n"
                              "\r\n\r\n Enter inertia of disk  2 \r\n"
                              "\r\n\r\n Enter stiffness of shaft 2 \r\n"
                              "\r\n\r\n Enter inertia of disk  3 \r\n";
static const char echoes[] = "\r\n BC:  Free-Free \r\n"
                             "\r\n\r\n Inertia of disk  1 =            2\r\n"
                             "\r\n\r\n Stiffness of disk  1 =         1000\r\n"
                             "\r\n\r\n Inertia of disk  2 =            4\r\n"
                             "\r\n\r\n Stiffness of disk  2 =         3000\r\n"
                             "\r\n\r\n Inertia of disk  3 =            1\r\n\r\n\r\n";
static const char frequencies[] = "\r\n\r\n Natural Frequencies \r\n"
                                  "\r\n omega1 =            0 rad/sec\r\n"
                                  " omega2 =        26.24 rad/sec\r\n"
                                  " omega3 =        61.74 rad/sec\r\n"
                                  "\r\n f1 =            0 Hz\r\n"
                                  " f2 =        4.177 Hz\r\n"
                                  " f3 =        9.825 Hz\r\n\r\n";
static const char displacements[] = "\r\n\r\n Displacement Vector 1\r\n"
                                    "\r\n            1\r\n            1\r\n            1"
                                    "\r\n\r\n\r\n"
                                    "\r\n\r\n Displacement Vector 2\r\n"
                                    "\r\n            1\r\n      -0.3775\r\n        -0.49"
                                    "\r\n\r\n\r\n"
                                    "\r\n\r\n Displacement Vector 3\r\n"
                                    "\r\n            1\r\n       -6.622\r\n        24.49"
                                    "\r\n\r\n\r\n";
static const char output_file[] = "\r\n\r\n Output file: \r\n   ";
static const char key_prompt[] = " \r\n\r\n\r\n Press any key to exit.\r\n";

#define PIECE(text)                                                                                \
    { (void*)(text), sizeof(text) - 1 }

enum { name_limit = 4095, token_count = 6 };

static int is_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int main(void) {
    char buffer[8192];
    char name[name_limit + 1];
    int name_size = 0;
    int tokens = 0;
    int in_token = 0;
    while (tokens < token_count) {
        ssize_t got = read(0, buffer, sizeof buffer);
        if (got <= 0)
            break;
        for (ssize_t i = 0; i < got && tokens < token_count; ++i) {
            if (is_space(buffer[i])) {
                if (in_token)
                    ++tokens;
                in_token = 0;
                continue;
            }
            in_token = 1;
            if (tokens == 0 && name_size < name_limit)
                name[name_size++] = buffer[i];
        }
    }
    if (name_size == 0)
        return 1;
    name[name_size] = '\0';

    /* The exit status is 1 whatever happens, as quelmar's is. */
    int fd = open(name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return 1;
    struct iovec report[] = {
        PIECE(banner), PIECE(report_heading), PIECE(units),
        PIECE(echoes), PIECE(frequencies),    PIECE(displacements),
    };
    ssize_t written = writev(fd, report, sizeof report / sizeof report[0]);
    struct iovec console[] = {
        PIECE(banner),
        PIECE(console_heading),
        PIECE(units),
        PIECE(prompts),
        PIECE(frequencies),
        PIECE(output_file),
        {name, (size_t)name_size},
        PIECE(key_prompt),
    };
    written = writev(1, console, sizeof console / sizeof console[0]);
    (void)written;
    return 1;
}
