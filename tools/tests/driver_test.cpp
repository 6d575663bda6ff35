// The engine's driver as a user and a script run it: its options reach the
// job items (seen in what the outputs hold), wrong arguments are usage
// errors, a terminal gets one updating line per file, and --protocol keeps
// the machine lines.
#include "tests/support/testutil.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testutil::Quote;
using testutil::Run;
using testutil::TempDir;

// The fixture PDFs, made once.
const TempDir& Pdfs()
{
    static TempDir dir;
    static const bool made = testutil::MakePdfFixtures(
        dir.path(), "pages3:text pictures blank manywords slowpages1:slowone slowpages2:slowtwo");
    EXPECT_TRUE(made);
    return dir;
}

std::string Pdf(const std::string& name)
{
    return (Pdfs().path() / (name + ".pdf")).string();
}

// Runs the driver with the arguments (already quoted); its standard output
// and error together.
std::string Driver(const std::string& args, int* status)
{
    return Run(std::string(TRANCEL_RUN) + " " + args + " 2>&1", status);
}

// Runs the driver on a pseudo-terminal and returns all it wrote there.
std::string DriverOnTerminal(const std::vector<std::string>& args, int* status)
{
    std::vector<char*> argv;
    std::vector<std::string> copy = args;
    copy.insert(copy.begin(), TRANCEL_RUN);
    for (std::string& a : copy)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    int master = -1;
    const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
    if (pid == 0) {
        execv(argv[0], argv.data());
        _exit(127);
    }
    std::string out;
    char buf[4096];
    for (;;) {
        const ssize_t n = read(master, buf, sizeof buf);
        if (n <= 0)
            break;   // EIO once the driver has ended
        out.append(buf, static_cast<std::size_t>(n));
    }
    close(master);
    int raw = 0;
    waitpid(pid, &raw, 0);
    *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return out;
}

std::vector<std::string> Lines(const std::string& s)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < s.size()) {
        const std::size_t end = s.find('\n', start);
        lines.push_back(s.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return lines;
}

// Names of the entries of a zip file, one a line.
std::string ZipEntries(const fs::path& zip)
{
    return Run("unzip -Z1 " + Quote(zip.string()));
}

int Count(const std::string& hay, const std::string& needle)
{
    int n = 0;
    for (std::size_t at = hay.find(needle); at != std::string::npos; at = hay.find(needle, at + 1))
        ++n;
    return n;
}

TEST(Driver, WrongArgumentsAreUsageErrors)
{
    const std::string pdf = Quote(Pdf("text"));
    struct Case {
        std::string args;
        const char* says;
    } const cases[] = {
        {"--dest /tmp " + pdf, "--type is missing"},
        {"--type 9 --dest /tmp " + pdf, "--type must be one of 1 to 6"},
        {"--type x --dest /tmp " + pdf, "--type must be one of 1 to 6"},
        {"--type 3 " + pdf, "--dest is missing"},
        {"--type 3 --dest /tmp", "no PDF file given"},
        {"--type 3 --dest /tmp --colour " + pdf, "unknown option --colour"},
        {"--type 3 --dest /tmp --range lots " + pdf, "--range \"lots\" names no pages"},
        {"--type 3 --dest /tmp --ocr-mode fast " + pdf, "--ocr-mode must be speed or quality"},
        {"--type 3 --dest /tmp --page-pictures " + pdf, "--page-pictures does not apply to --type 3"},
        {"--type 3 --dest /tmp --no-pictures " + pdf, "--no-pictures does not apply to --type 3"},
        {"--type 1 --dest /tmp --hires " + pdf, "--hires does not apply to --type 1"},
        {"--type 2 --dest /tmp --config-layout " + pdf, "--config-layout does not apply"},
        {"--type 4 --dest /tmp --word-password pw " + pdf, "--word-password does not apply"},
        {"--type 1 --dest /tmp --page-pictures --no-pictures " + pdf, "exclude each other"},
        {"--type 3 --dest /tmp " + pdf + " --password", "--password needs a value"},
        {"--type 3 --dest /nonexistent/out " + pdf, "--dest /nonexistent/out is no folder"},
        {"--type 3 --dest " + pdf + " " + pdf, "is no folder"},
        {"--to-pdf --dest /nonexistent/out " + pdf, "--dest /nonexistent/out is no folder"},
    };
    for (const Case& c : cases) {
        int status = -1;
        const std::string out = Driver(c.args, &status);
        EXPECT_EQ(status, 2) << c.args;
        EXPECT_NE(out.find(c.says), std::string::npos) << c.args << "\n" << out;
        EXPECT_NE(out.find("usage: trancel-run"), std::string::npos) << c.args;
    }
}

TEST(Driver, HelpListsEveryOption)
{
    int status = -1;
    const std::string out = Driver("--help", &status);
    EXPECT_EQ(status, 0);
    for (const char* flag : {"--type", "--dest", "--range", "--password", "--merge",
                             "--page-pictures", "--no-pictures", "--extract", "--hires",
                             "--config-layout", "--word-password", "--word-permission-password",
                             "--ocr", "--ocr-mode", "--protocol", "--help"})
        EXPECT_NE(out.find(std::string("  ") + flag + " "), std::string::npos) << flag;
}

// Each option changes the job item it stands for, which shows in the output.
TEST(Driver, OptionsReachTheJobItems)
{
    const TempDir out;
    auto run = [&](const std::string& sub, const std::string& args, const std::string& pdf) {
        const fs::path dest = out.path() / sub;
        fs::create_directories(dest);
        int status = -1;
        const std::string log =
            Driver("--protocol --dest " + Quote(dest.string()) + " " + args + " " + Quote(Pdf(pdf)), &status);
        EXPECT_EQ(status, 0) << sub << "\n" << log;
        return dest;
    };

    // EPUB: pages as pictures, text without pictures, the default with both.
    const std::string asPictures = ZipEntries(run("pp", "--type 1 --page-pictures", "text") / "text.epub");
    EXPECT_EQ(Count(asPictures, "OEBPS/image/"), 3) << asPictures;
    const std::string noPictures = ZipEntries(run("np", "--type 1 --no-pictures", "pictures") / "pictures.epub");
    EXPECT_EQ(Count(noPictures, "OEBPS/image/"), 0) << noPictures;
    const std::string withPictures = ZipEntries(run("wp", "--type 1", "pictures") / "pictures.epub");
    EXPECT_EQ(Count(withPictures, "OEBPS/image/"), 3) << withPictures;

    // HTML without pictures: no picture files.
    const fs::path html = run("hn", "--type 2 --no-pictures", "pictures") / "pictures";
    EXPECT_TRUE(fs::is_directory(html / "html"));
    EXPECT_TRUE(fs::is_empty(html / "html" / "image"));

    // Pages and ranges.
    const std::string two = testutil::ReadFile(run("r", "--type 3 --range 2-3", "text") / "text.txt");
    EXPECT_EQ(two.find("Page 1 of 3"), std::string::npos);
    EXPECT_NE(two.find("Page 3 of 3"), std::string::npos);

    // JPEG: double resolution, and the embedded pictures instead of pages.
    int w96 = 0, h96 = 0, w192 = 0, h192 = 0;
    ASSERT_TRUE(testutil::JpegSize(run("j1", "--type 4", "blank") / "blank.jpg", w96, h96));
    ASSERT_TRUE(testutil::JpegSize(run("j2", "--type 4 --hires", "blank") / "blank.jpg", w192, h192));
    EXPECT_EQ(w192, 2 * w96);
    std::size_t extracted = 0;
    for (const auto& e : fs::recursive_directory_iterator(run("x", "--type 4 --extract", "pictures")))
        extracted += e.is_regular_file();
    EXPECT_EQ(extracted, 3u);

    // Word: the open password protects the document (a compound file, no
    // longer a zip).
    const fs::path docx = run("w", "--type 6 --word-password secret", "text") / "text.docx";
    EXPECT_EQ(testutil::ReadFile(docx).substr(0, 4), "\xD0\xCF\x11\xE0");

    // Merging: one output for all files.
    const fs::path merged = out.path() / "m";
    fs::create_directories(merged);
    int status = -1;
    Driver("--protocol --type 3 --merge all --dest " + Quote(merged.string()) + " " +
               Quote(Pdf("text")) + " " + Quote(Pdf("blank")),
           &status);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(fs::exists(merged / "all.txt"));
}

TEST(Driver, ProtocolPrintsEveryProgressCallAndTheResults)
{
    const TempDir out;
    const std::string missing = (out.path() / "missing.pdf").string();
    int status = -1;
    const std::string log = Driver("--protocol --type 3 --dest " + Quote(out.path().string()) + " " +
                                       Quote(Pdf("blank")) + " " + Quote(missing),
                                   &status);
    EXPECT_EQ(status, 1);   // the second item failed
    const std::vector<std::string> expected = {
        "0 1227 1", "0 1226 5", "0 1226 25", "0 1226 30", "0 1226 80", "0 1226 80",
        "0 1226 100", "0 1227 2", "1 1227 1", "1 1226 5", "1 1227 3",
        "result 0 " + (out.path() / "blank.txt").string(),
        "error 1 cannot open the file: " + missing, "result 1 ",
    };
    EXPECT_EQ(Lines(log), expected) << log;
}

// Standard output holds only the driver's lines, also while the zip layer
// packs a book or a document and says what it packs.
TEST(Driver, StandardOutputHoldsOnlyProtocolLines)
{
    const std::regex line(R"(-?\d+ \d+ -?\d+|result \d+ .*|error \d+ .+)");
    for (const char* type : {"1", "6"}) {
        const TempDir out;
        int status = -1;
        const std::string log = testutil::Run(std::string(TRANCEL_RUN) + " --protocol --type " + type +
                                        " --dest " + Quote(out.path().string()) + " " +
                                        Quote(Pdf("pictures")) + " 2>/dev/null",
                                    &status);
        EXPECT_EQ(status, 0) << type;
        const std::vector<std::string> lines = Lines(log);
        ASSERT_FALSE(lines.empty()) << type;
        for (const std::string& l : lines)
            EXPECT_TRUE(std::regex_match(l, line)) << "type " << type << ": " << l;
        EXPECT_EQ(lines.back().rfind("result 0 " + out.path().string(), 0), 0u) << log;
    }
}

// Each output type maps only the libraries it writes with, as the dynamic
// loader reports them: plain text needs no XML or zip library (with what
// they need, they cost a process megabytes of memory just by being loaded);
// EPUB, HTML and .docx load the module that holds them when they write.
TEST(Driver, OutputTypesLoadOnlyTheLibrariesTheyWriteWith)
{
    struct Case {
        const char* type;
        bool formats;
    };
    const char* libraries[] = {"libtrancel_formats.so", "libxerces-c", "libcurl", "libicuuc", "libzip",
                               "libcrypto"};
    for (const Case& c : {Case{"3", false}, Case{"1", true}, Case{"2", true}, Case{"6", true}}) {
        SCOPED_TRACE(std::string("type ") + c.type);
        const TempDir out;
        int status = -1;
        const std::string command = "LD_DEBUG=files " + std::string(TRANCEL_RUN) +
                                    " --protocol --type " + c.type + " --dest " +
                                    Quote(out.path().string()) + " " + Quote(Pdf("text")) + " 2>&1";
        const std::string log = testutil::Run(command, &status);
        EXPECT_EQ(status, 0) << log;
        for (const char* library : libraries)
            EXPECT_EQ(log.find(std::string("file=") + library) != std::string::npos ||
                          log.find(std::string("/") + library) != std::string::npos,
                      c.formats)
                << library;
    }
}

// SIGTERM ends the driver within a few seconds (the time to leave included)
// also in the middle of a page that takes longer to draw or to analyse (the
// fixtures' pages take 5 to 20 s each), and the stopped item leaves no
// output and no temporary folder.
TEST(Driver, SigtermEndsALongPageAndLeavesNothing)
{
    using Clock = std::chrono::steady_clock;
    struct Case {
        const char* what;
        std::vector<std::string> args;
    };
    const Case cases[] = {
        {"one page picture", {"--type", "4", Pdf("slowone")}},
        {"page pictures on several threads", {"--type", "4", Pdf("slowtwo")}},
        {"EPUB of page pictures", {"--type", "1", "--page-pictures", Pdf("slowone")}},
        {"text of a page of 60,000 words", {"--type", "3", Pdf("manywords")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const TempDir out;
        const TempDir tmp;
        std::vector<std::string> args{TRANCEL_RUN, "--protocol", "--dest", out.path().string()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        const std::string tmpdir = "TMPDIR=" + tmp.path().string();
        int lines[2];
        ASSERT_EQ(::pipe(lines), 0);
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::putenv(const_cast<char*>(tmpdir.c_str()));
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(lines[1], STDOUT_FILENO);
            ::dup2(null, STDERR_FILENO);
            ::close(lines[0]);
            ::close(lines[1]);
            execv(argv[0], argv.data());
            _exit(127);
        }
        ::close(lines[1]);
        // The signal is sent once the driver has started its item, so that
        // it lands in the job and not in a process still starting up (which
        // a loaded machine can keep there for well over a second), and a
        // little later, inside the long page.
        std::string seen;
        char buf[256];
        ssize_t n = 0;
        while (seen.find(" 1226 ") == std::string::npos && (n = ::read(lines[0], buf, sizeof buf)) > 0)
            seen.append(buf, static_cast<std::size_t>(n));
        if (seen.find(" 1226 ") == std::string::npos) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
            ::close(lines[0]);
            FAIL() << "the driver showed no progress: " << seen;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        int raw = 0;
        EXPECT_EQ(::waitpid(pid, &raw, WNOHANG), 0) << "the driver is still at work";
        const auto signalled = Clock::now();
        ::kill(pid, SIGTERM);
        while (::read(lines[0], buf, sizeof buf) > 0) {
        }
        ::close(lines[0]);
        ::waitpid(pid, &raw, 0);
        const auto late = Clock::now() - signalled;
        EXPECT_TRUE(WIFEXITED(raw)) << raw;
        EXPECT_LT(late, std::chrono::seconds(3))
            << std::chrono::duration_cast<std::chrono::milliseconds>(late).count() << " ms";
        EXPECT_TRUE(fs::is_empty(out.path())) << fs::directory_iterator(out.path())->path();
        EXPECT_TRUE(fs::is_empty(tmp.path())) << fs::directory_iterator(tmp.path())->path();
    }
}

// Each failed item says why it failed, in both kinds of output.
TEST(Driver, FailedItemsSayWhy)
{
    const TempDir work;
    const fs::path locked = work.path() / "locked.pdf";
    int status = -1;
    testutil::Run("qpdf --encrypt user owner 256 -- " + Quote(Pdf("text")) + " " + Quote(locked.string()),
        &status);
    ASSERT_EQ(status, 0);
    testutil::WriteFile(work.path() / "notes.pdf", "just some text, no PDF\n");
    testutil::WriteFile(work.path() / "damaged.pdf", "%PDF-1.4\n1 0 obj << /Type /Catalog >>\n");
    const fs::path fifo = work.path() / "pipe.pdf";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string outDir = (work.path() / "out").string();
    fs::create_directories(outDir);

    struct Case {
        std::string source, args, dest, reason;
    } cases[] = {
        {locked.string(), "", outDir, "the PDF file needs a password"},
        {locked.string(), "--password wrong", outDir, "wrong password for the PDF file"},
        {(work.path() / "notes.pdf").string(), "", outDir, "not a PDF file"},
        {(work.path() / "damaged.pdf").string(), "", outDir, "the PDF file has no pages"},
        {fifo.string(), "", outDir, "not a regular file"},
        {Pdf("text"), "", "/proc", "cannot write the output"},
    };
    for (const Case& c : cases) {
        for (const bool protocol : {true, false}) {
            const std::string log = Driver(std::string(protocol ? "--protocol " : "") +
                                               "--type 3 " + c.args + " --dest " + Quote(c.dest) +
                                               " " + Quote(c.source),
                                           &status);
            EXPECT_EQ(status, 1) << c.source;
            const std::string said = protocol ? "error 0 " + c.reason : "  failed: " + c.reason;
            EXPECT_NE(log.find(said), std::string::npos) << c.source << "\n" << log;
        }
    }
    EXPECT_TRUE(fs::is_empty(outDir));
}

// A source name of 250 bytes: the output's name is near the file system's
// limit of 255, and the temporary files beside it must stay short.
TEST(Driver, LongSourceNamesConvertInEveryType)
{
    const TempDir work;
    const std::string stem(246, 'n');
    const fs::path source = work.path() / (stem + ".pdf");
    fs::copy_file(Pdf("pictures"), source);
    for (const char* type : {"1", "2", "3", "4", "6"}) {
        const fs::path dest = work.path() / (std::string("out") + type);
        fs::create_directories(dest);
        int status = -1;
        const std::string log = Driver("--protocol --type " + std::string(type) + " --dest " +
                                           Quote(dest.string()) + " " + Quote(source.string()),
                                       &status);
        EXPECT_EQ(status, 0) << "type " << type << "\n" << log;
        std::size_t entries = 0;
        for (const auto& e : fs::directory_iterator(dest)) {
            ++entries;
            EXPECT_EQ(e.path().filename().string().rfind(stem, 0), 0u) << e.path();
        }
        EXPECT_EQ(entries, 1u) << "type " << type;
    }
}

TEST(Driver, WithoutTerminalEachFileGetsOneLastLine)
{
    const TempDir out;
    const std::string missing = (out.path() / "missing.pdf").string();
    int status = -1;
    const std::string log = Driver("--type 3 --dest " + Quote(out.path().string()) + " " +
                                       Quote(Pdf("blank")) + " " + Quote(missing),
                                   &status);
    EXPECT_EQ(status, 1);
    const std::vector<std::string> lines = Lines(log);
    ASSERT_EQ(lines.size(), 2u) << log;
    EXPECT_EQ(lines[0], "blank.pdf  done  " + (out.path() / "blank.txt").string());
    EXPECT_EQ(lines[1].rfind("missing.pdf  failed: cannot open the file", 0), 0u) << lines[1];
    EXPECT_EQ(log.find('\r'), std::string::npos);
}

TEST(Driver, OnATerminalEachFileHasOneUpdatingLine)
{
    const TempDir out;
    int status = -1;
    const std::string screen = DriverOnTerminal(
        {"--type", "3", "--dest", out.path().string(), Pdf("text"), Pdf("blank")}, &status);
    EXPECT_EQ(status, 0) << screen;
    // The pseudo-terminal turns line feeds into CR LF.
    const std::regex updates("\r\x1b\\[Ktext\\.pdf  [0-9]+%");
    EXPECT_GE(std::distance(std::sregex_iterator(screen.begin(), screen.end(), updates),
                            std::sregex_iterator()),
              3)
        << screen;
    EXPECT_NE(screen.find("\r\x1b[Ktext.pdf  done  " + (out.path() / "text.txt").string() + "\r\n"),
              std::string::npos)
        << screen;
    EXPECT_NE(screen.find("\r\x1b[Kblank.pdf  done  " + (out.path() / "blank.txt").string() + "\r\n"),
              std::string::npos)
        << screen;
    EXPECT_EQ(screen.find(" 1227 "), std::string::npos);
}

} // namespace
