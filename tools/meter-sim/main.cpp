// meter-sim: a driftmark panel meter on a pseudo-terminal.
//
// It opens a pseudo-terminal, prints the path of the device side on its first
// line of standard output and then behaves as a meter on it: it takes
// CR-terminated commands, keeps quiet unless asked, answers "V" with its
// identity line, and logs every frame it receives with a monotonic timestamp.
// Options bend its behaviour into the faults a real line can show.
//
// The device side is kept open here as well, in raw mode. Without that, every
// time the program under test closed the device the master side would read EIO
// until the device was opened again, and the terminal settings would fall back
// to a cooked, echoing line.
//
// With --device it is the meter on a terminal that already exists instead: the
// host end of a virtual machine's emulated USB serial adapter, or a real serial
// port wired to the one the program uses. The program then opens its own
// device somewhere out of sight, so opens and closes are not tracked. A line
// that hangs up and is still there afterwards (a USB gadget's serial port,
// whose host went away) is opened afresh, so the meter answers once its host
// comes back.
#include "Answer.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/signalfd.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <string_view>

namespace {

using namespace metersim;

struct Options {
    Identity identity;
    Faults faults;
    double answerDelay = 0.0;  // seconds from "V" to the answer
    long dropAfter = -1;       // close the device after this many frames
    unsigned long seed = 1;    // for the bytes of --noise and --garbage
    std::string logPath;
    std::string devicePath;    // an existing terminal to answer on, instead of a new pseudo-terminal
};

// The answer comes this long after "V" with --late: well after the 0.7 s in
// which a program that starts reading 0.5 s after the "V" stops listening.
constexpr double LateDelay = 0.9;
// A chatty meter sends its reading line this often.
constexpr double ChattyPeriod = 0.02;
// While the master side reports a hang-up, look again this often.
constexpr double HangupRetry = 0.02;

const char* const Usage =
    "Usage: meter-sim [OPTION]...\n"
    "A driftmark panel meter on a pseudo-terminal, for testing qz Ruvude Zivo.\n"
    "\n"
    "Prints the device path (e.g. /dev/pts/5) on the first line of standard output,\n"
    "then logs every frame it receives, one line each:\n"
    "  <monotonic seconds> RX \"<frame text>\"\n"
    "Point the program at it with QZ_SERIAL_PORTS=<device path>.\n"
    "\n"
    "Identity (answer to \"V\": V,<serial>,<third>,<firmware> and CR):\n"
    "  --serial TEXT        serial number field (default QZ1234)\n"
    "  --firmware TEXT      firmware version field (default 1.05)\n"
    "  --third TEXT         third field (default A)\n"
    "  --delay SECONDS      answer this long after \"V\" (default 0)\n"
    "\n"
    "Faults:\n"
    "  --chatty             never falls quiet: keeps sending \"M,800\" lines\n"
    "  --talks              once selected (\"S\") keeps sending \"M,800\" lines, until\n"
    "                       \"I\" or \"U\" or the device is closed; quiet after \"H\" before that\n"
    "  --silent             answers nothing\n"
    "  --late               answers 0.9 s after \"V\", too late to be read\n"
    "  --lowercase          identity line in lower case\n"
    "  --lf-inside          a line feed inside the serial number\n"
    "  --blanks             blanks inside the serial number and before the firmware\n"
    "  --empty-line-first   a lone CR before the identity line\n"
    "  --truncated          identity line without its CR\n"
    "  --trailing           \"\\nJUNK\" after the identity line's CR\n"
    "  --overlong           several hundred more characters before the CR\n"
    "  --noise              control characters and high bytes inside the identity line\n"
    "  --garbage            random bytes instead of the identity line\n"
    "  --seed N             seed for the bytes of --noise and --garbage (default 1)\n"
    "  --drop-after N       close the device and end after N frames\n"
    "\n"
    "Other:\n"
    "  --device PATH        be the meter on this existing terminal device (the host end\n"
    "                       of a virtual machine's serial adapter, a real serial port)\n"
    "                       instead of a new pseudo-terminal; opens are then not logged\n"
    "  --log FILE           write the log to FILE instead of standard output\n"
    "  -h, --help           show this text\n"
    "\n"
    "Ends on SIGINT or SIGTERM. See docs/meter-sim.md.\n";

double Now()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

[[noreturn]] void Fail(const std::string& message)
{
    std::fprintf(stderr, "meter-sim: %s\n", message.c_str());
    std::fprintf(stderr, "Try 'meter-sim --help'.\n");
    std::exit(2);
}

bool ParseNumber(const char* text, double& out)
{
    char* end = nullptr;
    errno = 0;
    double value = std::strtod(text, &end);
    if (errno != 0 || end == text || *end != '\0' || !std::isfinite(value) || value < 0)
        return false;
    out = value;
    return true;
}

Options ParseOptions(int argc, char** argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc)
                Fail("option " + std::string(arg) + " needs a value");
            return argv[++i];
        };
        if (arg == "--help" || arg == "-h") {
            std::fputs(Usage, stdout);
            std::exit(0);
        } else if (arg == "--serial") {
            o.identity.serial = value();
        } else if (arg == "--firmware") {
            o.identity.firmware = value();
        } else if (arg == "--third") {
            o.identity.third = value();
        } else if (arg == "--delay") {
            const char* text = value();
            if (!ParseNumber(text, o.answerDelay))
                Fail("--delay needs a number of seconds, not '" + std::string(text) + "'");
        } else if (arg == "--log") {
            o.logPath = value();
        } else if (arg == "--device") {
            o.devicePath = value();
        } else if (arg == "--drop-after") {
            const char* text = value();
            char* end = nullptr;
            long n = std::strtol(text, &end, 10);
            if (end == text || *end != '\0' || n < 0)
                Fail("--drop-after needs a frame count, not '" + std::string(text) + "'");
            o.dropAfter = n;
        } else if (arg == "--seed") {
            const char* text = value();
            char* end = nullptr;
            errno = 0;
            const unsigned long n = std::strtoul(text, &end, 10);
            if (end == text || *end != '\0' || errno != 0 || text[0] == '-')
                Fail("--seed needs a non-negative whole number, not '" + std::string(text) + "'");
            o.seed = n;
        } else if (arg == "--overlong") {
            o.faults.overlong = true;
        } else if (arg == "--noise") {
            o.faults.noise = true;
        } else if (arg == "--garbage") {
            o.faults.garbage = true;
        } else if (arg == "--chatty") {
            o.faults.chatty = true;
        } else if (arg == "--talks") {
            o.faults.talks = true;
        } else if (arg == "--silent") {
            o.faults.silent = true;
        } else if (arg == "--late") {
            o.answerDelay = LateDelay;
        } else if (arg == "--lowercase") {
            o.faults.lowercase = true;
        } else if (arg == "--lf-inside") {
            o.faults.lfInside = true;
        } else if (arg == "--blanks") {
            o.faults.blanks = true;
        } else if (arg == "--empty-line-first") {
            o.faults.emptyLineFirst = true;
        } else if (arg == "--truncated") {
            o.faults.truncated = true;
        } else if (arg == "--trailing") {
            o.faults.trailing = true;
        } else {
            Fail("unknown option '" + std::string(arg) + "'");
        }
    }
    return o;
}

class Log {
public:
    explicit Log(FILE* out) : m_out(out) {}
    void Line(const std::string& what)
    {
        std::fprintf(m_out, "%.6f %s\n", Now(), what.c_str());
        std::fflush(m_out);
    }

private:
    FILE* m_out;
};

class Meter {
public:
    Meter(const Options& options, Log& log)
        : m_options(options), m_log(log), m_random(static_cast<std::mt19937::result_type>(options.seed))
    {
    }

    int Run();

private:
    bool OpenDevice();
    int OpenLine() const;
    bool UseDevice();
    void LineHungUp();
    void WatchDevice();
    void ReadInotify();
    void ReadMaster();
    void Frame(const std::string& text);
    void Send(const std::string& bytes);
    void Drop();
    int PollTimeoutMs(double now) const;

    const Options& m_options;
    Log& m_log;
    std::mt19937 m_random;

    int m_master = -1;
    int m_slave = -1;
    int m_inotify = -1;
    int m_signals = -1;
    std::string m_device;

    std::string m_pending;           // bytes received since the last CR
    long m_frames = 0;               // frames received
    std::deque<double> m_answersDue; // when each asked-for identity line is due
    double m_nextChatter = 0;
    bool m_selected = false;         // --talks: "S" came, and no "I", "U" or close since
    double m_hangupUntil = 0;        // master side not polled until then
    bool m_hungUp = false;           // --device: this descriptor's line hung up for good
    int m_openers = 0;               // opens of the device by others, minus closes
    bool m_tracking = false;         // opens and closes are being watched
    bool m_done = false;
    int m_exitCode = 0;
};

bool Meter::OpenDevice()
{
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    cfsetispeed(&raw, B9600);
    cfsetospeed(&raw, B9600);
    if (openpty(&m_master, &m_slave, name, &raw, nullptr) != 0) {
        std::fprintf(stderr, "meter-sim: openpty: %s\n", std::strerror(errno));
        return false;
    }
    m_device = name;
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    fcntl(m_master, F_SETFD, FD_CLOEXEC);
    fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    return true;
}

// --device: the meter's end of a line that already exists. It is read and
// written like the pseudo-terminal's master side, in raw mode at 9600 baud
// 8N1, and modem lines are ignored, so a real port works without a cable's
// handshake. Returns the descriptor, or -1 after saying why.
int Meter::OpenLine() const
{
    const char* path = m_options.devicePath.c_str();
    const int fd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        std::fprintf(stderr, "meter-sim: cannot open '%s': %s\n", path, std::strerror(errno));
        return -1;
    }
    termios raw{};
    if (tcgetattr(fd, &raw) != 0) {
        std::fprintf(stderr, "meter-sim: '%s' is not a terminal device: %s\n", path, std::strerror(errno));
        close(fd);
        return -1;
    }
    cfmakeraw(&raw);
    raw.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | CRTSCTS);
    raw.c_cflag |= CLOCAL | CREAD;
    cfsetispeed(&raw, B9600);
    cfsetospeed(&raw, B9600);
    if (tcsetattr(fd, TCSANOW, &raw) != 0) {
        std::fprintf(stderr, "meter-sim: cannot set up '%s': %s\n", path, std::strerror(errno));
        close(fd);
        return -1;
    }
    return fd;
}

bool Meter::UseDevice()
{
    m_master = OpenLine();
    m_device = m_options.devicePath;
    return m_master >= 0;
}

// The line hung up: the far end of a pseudo-terminal closed, an adapter was
// pulled, or a USB gadget's host let go of it. A hung-up descriptor stays
// dead, so with --device a line whose device is still there is opened
// afresh at once (the gadget's port answers again when its host is back);
// one that went with the hang-up is looked at again every HangupRetry
// without spinning, as the pseudo-terminal's master side is without --device.
void Meter::LineHungUp()
{
    m_hangupUntil = Now() + HangupRetry;
    if (m_options.devicePath.empty() || m_hungUp)
        return;
    m_hungUp = true;
    if (!m_pending.empty())
        m_log.Line("RX-PART " + Quote(m_pending));
    m_pending.clear();
    m_log.Line("HANGUP");
    if (access(m_device.c_str(), F_OK) != 0)
        return;
    const int fresh = OpenLine();
    if (fresh < 0)
        return;
    close(m_master);
    m_master = fresh;
    m_hungUp = false;
    m_hangupUntil = 0;
    m_log.Line("REOPEN");
}

// Opens and closes of the device by other programs are seen through inotify.
// They are logged, and when the last other user closes the device whatever it
// left unread is thrown away, as closing a real serial port does; otherwise
// the held-open device side would keep stale bytes for the next opener.
void Meter::WatchDevice()
{
    m_inotify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_inotify < 0)
        return;
    if (inotify_add_watch(m_inotify, m_device.c_str(), IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0) {
        close(m_inotify);
        m_inotify = -1;
        return;
    }
    m_tracking = true;
}

void Meter::ReadInotify()
{
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        ssize_t n = read(m_inotify, buffer, sizeof buffer);
        if (n <= 0)
            return;
        for (char* p = buffer; p < buffer + n;) {
            auto* event = reinterpret_cast<inotify_event*>(p);
            if (event->mask & IN_OPEN) {
                ++m_openers;
                m_log.Line("OPEN");
            }
            if (event->mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE)) {
                // Whatever was written before the close is on the line by
                // now: log those frames first, so that they come before it.
                if (m_master >= 0 && !m_done)
                    ReadMaster();
                if (m_done)
                    return;
                if (m_openers > 0)
                    --m_openers;
                if (m_openers == 0 && m_slave >= 0)
                    tcflush(m_slave, TCIFLUSH);
                if (m_openers == 0)
                    m_selected = false;
                m_log.Line("CLOSE");
            }
            p += sizeof(inotify_event) + event->len;
        }
    }
}

void Meter::Send(const std::string& bytes)
{
    if (m_master < 0)
        return;
    ssize_t n = write(m_master, bytes.data(), bytes.size());
    if (n == static_cast<ssize_t>(bytes.size()))
        m_log.Line("TX " + Quote(bytes));
    else
        m_log.Line("TX-LOST " + Quote(bytes));
}

void Meter::Drop()
{
    if (!m_pending.empty())
        m_log.Line("RX-PART " + Quote(m_pending));
    m_pending.clear();
    m_log.Line("DROP");
    close(m_master);
    if (m_slave >= 0)
        close(m_slave);
    m_master = m_slave = -1;
    m_done = true;
}

void Meter::Frame(const std::string& text)
{
    ++m_frames;
    m_log.Line("RX " + Quote(text));
    if (text == "V" && !m_options.faults.silent)
        m_answersDue.push_back(Now() + m_options.answerDelay);
    if (m_options.faults.talks && (text == "S" || text == "I" || text == "U")) {
        // A meter that reports its readings while it is selected.
        if (!m_selected && text == "S")
            m_nextChatter = Now();
        m_selected = text == "S";
    }
    // Every other command is the meter's own business and needs no answer.
    if (m_options.dropAfter >= 0 && m_frames >= m_options.dropAfter)
        Drop();
}

void Meter::ReadMaster()
{
    char buffer[512];
    for (;;) {
        ssize_t n = read(m_master, buffer, sizeof buffer);
        if (n > 0) {
            for (ssize_t i = 0; i < n && !m_done; ++i) {
                if (buffer[i] == '\r') {
                    std::string text;
                    text.swap(m_pending);
                    Frame(text);
                } else {
                    m_pending += buffer[i];
                }
            }
            if (m_done)
                return;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0 || errno == EIO)  // n is 0 or -1 here
            LineHungUp();  // (without --device: no device side open, which our own prevents)
        return;
    }
}

int Meter::PollTimeoutMs(double now) const
{
    double next = -1;
    auto consider = [&next](double t) {
        if (next < 0 || t < next)
            next = t;
    };
    if (!m_answersDue.empty())
        consider(m_answersDue.front());
    if (m_options.faults.chatty || m_selected)
        consider(m_nextChatter);
    if (m_hangupUntil > now)
        consider(m_hangupUntil);
    if (next < 0)
        return -1;
    double ms = std::ceil((next - now) * 1000.0);
    return ms <= 0 ? 0 : static_cast<int>(ms);
}

int Meter::Run()
{
    sigset_t mask;
    sigemptyset(&mask);
    sigaddset(&mask, SIGINT);
    sigaddset(&mask, SIGTERM);
    sigaddset(&mask, SIGHUP);
    sigprocmask(SIG_BLOCK, &mask, nullptr);
    m_signals = signalfd(-1, &mask, SFD_CLOEXEC | SFD_NONBLOCK);
    signal(SIGPIPE, SIG_IGN);

    if (m_options.devicePath.empty()) {
        if (!OpenDevice())
            return 1;
        WatchDevice();
    } else if (!UseDevice()) {
        return 1;
    }

    // The first line of standard output is the device path, alone.
    std::printf("%s\n", m_device.c_str());
    std::fflush(stdout);
    m_log.Line("START device=" + m_device + " serial=" + Quote(m_options.identity.serial) +
               " firmware=" + Quote(m_options.identity.firmware) + " faults=" + Describe(m_options.faults) +
               (m_options.faults.noise || m_options.faults.garbage ? " seed=" + std::to_string(m_options.seed) : "") +
               (m_tracking ? "" : " (opens not tracked)"));
    m_nextChatter = Now();

    while (!m_done) {
        const double now = Now();
        pollfd fds[3] = {};
        int count = 0;
        fds[count++] = {m_signals, POLLIN, 0};
        const int inotifyIndex = m_inotify >= 0 ? count : -1;
        if (m_inotify >= 0)
            fds[count++] = {m_inotify, POLLIN, 0};
        const int masterIndex = m_hangupUntil <= now ? count : -1;
        if (masterIndex >= 0)
            fds[count++] = {m_master, POLLIN, 0};

        int ready = poll(fds, static_cast<nfds_t>(count), PollTimeoutMs(now));
        if (ready < 0 && errno != EINTR) {
            std::fprintf(stderr, "meter-sim: poll: %s\n", std::strerror(errno));
            m_exitCode = 1;
            break;
        }

        if (fds[0].revents & POLLIN) {
            signalfd_siginfo info{};
            if (read(m_signals, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
                if (!m_pending.empty())
                    m_log.Line("RX-PART " + Quote(m_pending));
                m_log.Line("STOP signal=" + std::to_string(info.ssi_signo));
                break;
            }
        }
        // Opens and closes first, so that a close and an open are seen
        // before any frame that comes after them; a close reads the frames
        // that came before it first.
        if (inotifyIndex >= 0 && fds[inotifyIndex].revents)
            ReadInotify();
        if (masterIndex >= 0 && fds[masterIndex].revents) {
            if (fds[masterIndex].revents & POLLIN)
                ReadMaster();
            else if (fds[masterIndex].revents & (POLLHUP | POLLERR))
                LineHungUp();
        }
        if (m_done)
            break;

        const double later = Now();
        while (!m_answersDue.empty() && m_answersDue.front() <= later) {
            m_answersDue.pop_front();
            Send(IdentityAnswer(m_options.identity, m_options.faults, m_random));
        }
        if ((m_options.faults.chatty || m_selected) && m_nextChatter <= later) {
            // A real chatty meter sends whether anyone listens or not; what
            // it sends to a closed port is lost, so only send while open.
            if (!m_tracking || m_openers > 0) {
                if (write(m_master, ChattyLine, std::strlen(ChattyLine)) < 0 && errno != EAGAIN)
                    m_log.Line(std::string("TX-LOST ") + Quote(ChattyLine));
            }
            m_nextChatter = later + ChattyPeriod;
        }
    }

    if (m_master >= 0)
        close(m_master);
    if (m_slave >= 0)
        close(m_slave);
    return m_exitCode;
}

}  // namespace

int main(int argc, char** argv)
{
    const Options options = ParseOptions(argc, argv);

    FILE* out = stdout;
    if (!options.logPath.empty()) {
        out = std::fopen(options.logPath.c_str(), "w");
        if (!out) {
            std::fprintf(stderr, "meter-sim: cannot write log '%s': %s\n", options.logPath.c_str(),
                         std::strerror(errno));
            return 1;
        }
    }
    Log log(out);
    Meter meter(options, log);
    const int code = meter.Run();
    if (out != stdout)
        std::fclose(out);
    return code;
}
