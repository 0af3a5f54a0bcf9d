// SPDX-License-Identifier: MIT
// The tool at its edges, through the built binary: full disks, outputs that cannot
// be made, links the kernel refuses, pipes and deleted files named by /dev/fd, file
// size limits, standard output that fails, killed and concurrent runs, memory that
// runs out, inputs that cannot seek, a program directory that cannot be found. Each
// case runs in a shell; cases the machine does not permit (mounts, other users,
// file attributes, kernel settings) are skipped with the reason.
#include <gtest/gtest.h>
#include <unistd.h>

#include <set>
#include <string>
#include <vector>

#include "base/compiler.h"
#include "support/runTool.h"

namespace kestrune {
namespace {

using testing::readFile;
using testing::runTool;
using testing::TempDir;
using testing::ToolRun;

constexpr int kSkipped = 77;  // a script's status for "not permitted here"

const std::string kPage =
    "<html><body><a href=\"/x\">Home</a><a href=\"/y\">About</a></body></html>";
const std::string kReport =
    "{\"a\":[{\"href\":\"/x\", \"text\":\"Home\"}, "
    "{\"href\":\"/y\", \"text\":\"About\"}]}";

// A page just under 10 MiB whose div report is some megabytes.
std::string bigPage() {
    std::string page = "<html><body>";
    while (page.size() < 9'900'000) page += "<div class=c>x y</div>";
    return page + "</body></html>";
}

// Runs `body` with sh in the directory `dir`. The body sees K (the tool), P (kPage)
// and B (bigPage(), when `big`); run() runs the tool on P with -attr href and
// -o "$T". With `isolated` it runs in a mount namespace of its own, whose mounts
// vanish with it.
ToolRun shellIn(const TempDir& dir, const std::string& body, bool big = false,
                bool isolated = false) {
    std::string script = "K='" + testing::toolPath() + "'; P='" + dir.write("page.html", kPage) +
                         "'; B='" + (big ? dir.write("big.html", bigPage()) : "") + "'\n" +
                         "run() { \"$K\" \"$P\" -tag a -attr href -o \"$T\"; }\n" + body;
    if (!isolated) return runTool({"-c", script}, dir.path(), "/bin/sh");
    return runTool(
        {"-c", "unshare -m true 2>/dev/null || exit 77; exec unshare -m sh -c \"$0\"", script},
        dir.path(), "/bin/sh");
}

class FaultTest : public ::testing::Test {
  protected:
    void SetUp() override {
#if defined(_WIN32)
        GTEST_SKIP() << "POSIX shell scripts (signals, mounts, permissions, /dev/full); "
                        "a Windows program cannot run them";
#endif
    }
    ToolRun shell(const std::string& body, bool big = false, bool isolated = false) {
        return shellIn(dir, body, big, isolated);
    }
    TempDir dir;
};

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Outputs that cannot be made or written: status 255, the message, no "Output File"
// line, the target as it was, no temporary file left.
TEST_F(FaultTest, OutputsThatFail) {
    struct Case {
        const char* name;
        bool isolated;       // in a mount namespace of its own
        const char* script;  // sets T, keeps the target with keep(), runs the tool, sets st
        const char* reason;  // the system's words in the message
    };
    const Case cases[] = {
        {"disk full", false, "T=/dev/full; run; st=$?", "No space left on device"},
        {"disk fills midway", true,
         "mkdir m && mount -t tmpfs -o size=64k tmpfs m || exit 77\n"
         "T=m/out.json; echo old > $T; keep; \"$K\" \"$B\" -tag div -o \"$T\"; st=$?",
         "No space left on device"},
        {"read-only directory, unprivileged user", false,
         "setpriv --reuid=65534 --regid=65534 --clear-groups true || exit 77\n"
         "mkdir ro && T=ro/out.json && echo old > $T && keep && chmod 555 ro && chmod 755 .\n"
         "cp \"$K\" ./k && setpriv --reuid=65534 --regid=65534 --clear-groups "
         "./k \"$P\" -tag a -o \"$T\"; st=$?",
         "Permission denied"},
        {"read-only mount", true,
         "mkdir m && mount -t tmpfs -o size=64k tmpfs m && echo old > m/out.json && "
         "mount -o remount,ro m || exit 77\n"
         "T=m/out.json; keep; run; st=$?",
         "Read-only file system"},
        {"immutable file", false,
         "T=./out.json; echo old > $T; keep; chattr +i $T 2>/dev/null || exit 77\n"
         "run; st=$?; chattr -i $T",
         "Operation not permitted"},
        {"a directory", false, "mkdir adir; T=./adir; run; st=$?", "Is a directory"},
        {"the program's directory (-o .)", false, "T=.; run; st=$?", "Is a directory"},
        {"a symbolic link loop", false, "ln -s l1 l2; ln -s l2 l1; T=./l1; run; st=$?",
         "Too many levels of symbolic links"},
        {"a link on a mount that follows none", true,
         "mkdir m && mount -t tmpfs -o nosymfollow tmpfs m || exit 77\n"
         "echo secret > m/conf; cp m/conf ./original; KEPT=m/conf; ln -s conf m/out.json\n"
         "T=m/out.json; run; st=$?",
         "Too many levels of symbolic links"},
        {"another user's link in a sticky directory (fs.protected_symlinks)", false,
         "[ \"$(id -u)\" = 0 ] || { echo 'needs root'; exit 77; }\n"
         "setpriv --reuid=65534 --regid=65534 --clear-groups true || "
         "{ echo 'no second user'; exit 77; }\n"
         // Turned on for the case where it is off (and may be set), then restored.
         "was=$(cat /proc/sys/fs/protected_symlinks 2>/dev/null)\n"
         "{ [ \"$was\" = 1 ] || echo 1 2>/dev/null > /proc/sys/fs/protected_symlinks; } || "
         "{ echo 'fs.protected_symlinks is off and cannot be set'; exit 77; }\n"
         "chmod 755 .; mkdir -m 700 private; echo secret > private/conf; cp private/conf "
         "./original\n"
         "KEPT=private/conf; mkdir -m 1777 st\n"
         "setpriv --reuid=65534 --regid=65534 --clear-groups ln -s \"$PWD/private/conf\" "
         "st/out.json\n"
         "T=st/out.json; run; st=$?\n"
         "[ \"$was\" = 1 ] || echo \"$was\" > /proc/sys/fs/protected_symlinks",
         "Permission denied"},
        {"a name too long", false, "T=./$(printf '%0300d' 0); run; st=$?", "File name too long"},
        {"the running program itself", false,
         "cp \"$K\" ./k; T=./k; keep; ./k \"$P\" -tag a -o \"$T\"; st=$?", "Text file busy"},
    };
    const std::string epilogue =
        "\n[ -e ./original ] && { cmp -s ./original \"${KEPT:-$T}\" && echo 'target kept' ||"
        " echo 'target changed'; }\n"
        "ls -a \"$(dirname \"$T\")\" | grep -q '^\\.kestrune-' && echo 'temporary file left'\n"
        "exit $st\n";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir caseDir;
        ToolRun r = shellIn(caseDir,
                            std::string("keep() { cp \"$T\" ./original; }\n") + c.script + epilogue,
                            contains(c.script, "$B"), c.isolated);
        if (r.status == kSkipped) {
            std::printf("(case skipped) %s: %s", c.name,
                        r.output.empty() ? "not permitted on this machine\n" : r.output.c_str());
            continue;
        }
        EXPECT_EQ(r.status, 255);
        EXPECT_TRUE(contains(r.output, "Error: output file \"")) << r.output;
        EXPECT_TRUE(contains(r.output, std::string("could not be written: ") + c.reason + ".\r\n"))
            << r.output;
        EXPECT_FALSE(contains(r.output, "Output File")) << r.output;
        EXPECT_FALSE(contains(r.output, "target changed"));
        EXPECT_FALSE(contains(r.output, "temporary file left"));
    }
}

// A failing standard output ends the run with 255 and says so on standard error;
// "-o /dev/stdout" into a file gives the report, then the console line, intact.
TEST_F(FaultTest, StandardOutput) {
    ToolRun r = shell("exec \"$K\" \"$P\" -tag a -attr href > /dev/full");
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.errors,
              "Error: standard output could not be written: No space left on device.\r\n");
    r = shell("exec \"$K\" \"$P\" -tag a -attr href -o /dev/stdout > /dev/full");
    EXPECT_EQ(r.status, 255);
    r = shell("exec \"$K\" \"$P\" -tag a -attr href -o /dev/stdout > out.json");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(readFile(dir.path() + "/out.json"), kReport + "\r\nOutput File: /dev/stdout\r\n");
    // A device is written directly.
    r = shell("T=/dev/null; run");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.output, "\r\nOutput File: /dev/null\r\n");
}

// A symbolic link stays a link; its target gets the report, with its own permission
// bits. A second name of the old file keeps the old report, and the old file leaves
// nothing else behind.
TEST_F(FaultTest, LinkedTargetReplaced) {
    ToolRun r = shell(
        "echo old > real.json; chmod 640 real.json; ln real.json hard.json; ln -s real.json "
        "T.json\n"
        "T=./T.json; run; st=$?; [ -L T.json ] && stat -c %a real.json; cat hard.json\n"
        "ls -a | grep -c '^\\.kestrune-'\n"
        "exit $st");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.output, "\r\nOutput File: ./T.json\r\n640\nold\n0\n");
    EXPECT_EQ(readFile(dir.path() + "/real.json"), kReport);
}

// A replaced file keeps its owner, group, permission bits and user attributes where
// the process may set them; here as root, with another user's file and a file
// whose group is not its set-group-ID directory's.
TEST_F(FaultTest, ReplacedFileKeepsOwnerAndAttributes) {
    struct Case {
        const char* name;
        const char* target;
        const char* script;  // prints what it checks
        const char* expected;
    };
    const Case cases[] = {
        {"another user's private report", "n.json",
         "echo old > n.json; chown 65534:65534 n.json && chmod 600 n.json || exit 77\n"
         "T=./n.json; run > /dev/null; stat -c '%u:%g %a' n.json",
         "65534:65534 600\n"},
        {"a set-group-ID directory", "sg/g.json",
         "mkdir sg && chgrp 65534 sg && chmod 2775 sg || exit 77\n"
         "echo old > sg/g.json; chgrp 0 sg/g.json; chmod 640 sg/g.json\n"
         "T=sg/g.json; run > /dev/null; stat -c '%g %a' sg/g.json",
         "0 640\n"},
        {"user attributes", "x.json",
         "echo old > x.json; /usr/bin/python3 -c 'import os; os.setxattr(\"x.json\", "
         "\"user.origin\", b\"kept\")' 2>/dev/null || exit 77\n"
         "T=./x.json; run > /dev/null\n"
         "/usr/bin/python3 -c 'import os; print(os.getxattr(\"x.json\", "
         "\"user.origin\").decode())'",
         "kept\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir caseDir;
        ToolRun r = shellIn(caseDir, std::string("[ \"$(id -u)\" = 0 ] || exit 77\n") + c.script);
        if (r.status == kSkipped) {
            std::printf("(case skipped) %s: needs root and a file system that keeps them\n",
                        c.name);
            continue;
        }
        EXPECT_EQ(r.output, c.expected);
        EXPECT_EQ(readFile(caseDir.path() + "/" + c.target), kReport);
    }
}

// Targets that get the report where they are, and nothing else is made. Named by a
// descriptor (/dev/fd/N, /dev/stderr, >(...)): a pipe is written directly, an open
// file is replaced under its whole real name however long, a file deleted while
// open is written where it is. Temporary names cannot be guessed: names made in
// advance by another process are no obstacle, and a target named like one of them
// is an ordinary file.
TEST_F(FaultTest, TargetsGetTheReport) {
    const char* scripts[] = {
        "{ \"$K\" \"$P\" -tag a -attr href -o /dev/fd/3 3>&1 > /dev/null; echo $? > st; } | cat > "
        "got.json; cat st got.json",
        "{ \"$K\" \"$P\" -tag a -attr href -o /dev/stderr 2>&1 > /dev/null; echo $? > st; } | cat "
        "> got.json; cat st got.json",
        "bash -c '\"$0\" \"$1\" -tag a -attr href -o >(cat > got.json) > /dev/null; st=$?; wait $!;"
        " echo $st' \"$K\" \"$P\"; cat got.json",
        // A real path of some 450 bytes.
        "L=$(printf '%0140d' 0); D=\"$PWD/$L/$L/$L\"; mkdir -p \"$D\" && exec 3>>\"$D/got.json\"\n"
        "\"$K\" \"$P\" -tag a -attr href -o /dev/fd/3 > /dev/null; echo $?; exec 3>&-\n"
        "cat \"$D/got.json\"; find . -type f ! -name page.html ! -name got.json",
        // An existing file named by a short path whose full path is over 4096 bytes.
        "d=$(printf '%0200d' 0); for i in $(seq 25); do mkdir -p $d && cd -P $d; done\n"
        "echo old > got.json; \"$K\" \"$P\" -tag a -attr href -o ./got.json > /dev/null\n"
        "echo $?; cat got.json",
        "exec 3<>del.json; rm del.json\n"
        "\"$K\" \"$P\" -tag a -attr href -o /dev/fd/3 > /dev/null; echo $?; cat /dev/fd/3\n"
        "ls -A | grep -v '^page.html$'",
        "sh -c 'for i in $(seq 0 100); do : > .kestrune-$$-$i.tmp; done\n"
        "exec \"$0\" \"$1\" -tag a -attr href -o ./out.json' \"$K\" \"$P\" > /dev/null\n"
        "echo $?; cat out.json",
        "sh -c 'exec \"$0\" \"$1\" -tag a -attr href -o ./.kestrune-$$-0.tmp' \"$K\" \"$P\" "
        "> /dev/null\n"
        "echo $?; cat .kestrune-*-0.tmp",
    };
    for (const char* script : scripts) {
        SCOPED_TRACE(script);
        TempDir caseDir;
        ToolRun r = shellIn(caseDir, script);
        EXPECT_EQ(r.output, "1\n" + kReport);
    }
}

// Under a file size limit the write that passes it fails (no SIGXFSZ): the message,
// 255, and no temporary file left.
TEST_F(FaultTest, FileSizeLimit) {
    ToolRun r = shell(
        "(ulimit -f 100; exec \"$K\" \"$B\" -tag div -o ./x.json); st=$?\n"
        "ls -A | grep -c '^\\.kestrune-'; [ -e x.json ] && echo made; exit $st",
        true);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.output,
              "Error: output file \"./x.json\" could not be written: File too large.\r\n0\n");
    r = shell("(ulimit -f 100; exec \"$K\" \"$B\" -tag div > out.txt)", true);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.errors, "Error: standard output could not be written: File too large.\r\n");
}

// A run ended by a signal while it writes its report leaves the old report in place
// (or, rarely, the whole new one) and no temporary file: KILL gives no chance to
// remove it, every other signal that ends a process does. (The run starts with
// every signal at its default action: a shell's background job ignores INT and QUIT.)
TEST_F(FaultTest, SignalledRunKeepsOldReport) {
    for (const char* signal :
         {"KILL", "TERM", "HUP", "INT", "QUIT", "USR1", "USR2", "ALRM", "VTALRM", "PROF"}) {
        SCOPED_TRACE(signal);
        const std::string script =
            "rm -f .kestrune-*; \"$K\" \"$B\" -tag div -o ./whole.json > /dev/null; echo old > "
            "out.json\n"
            "env --default-signal \"$K\" \"$B\" -tag div -o ./out.json > /dev/null & pid=$!\n"
            "i=0; while [ -z \"$(ls -a | grep '^\\.kestrune-')\" ] && [ $i -lt 100000 ]; do "
            "i=$((i+1)); done\n"
            "kill -$S $pid; wait $pid\n"
            "[ $S != KILL ] && ls -a | grep -q '^\\.kestrune-' && echo left\n"
            "cmp -s out.json whole.json && echo whole || head -c 3 out.json";
        ToolRun r = shell(std::string("S=") + signal + "\n" + script, true);
        EXPECT_TRUE(r.output == "old" || r.output == "whole\n") << r.output;
    }
}

// Twenty runs writing different reports to one path at once: the file is always one
// whole report, and every run succeeded.
TEST_F(FaultTest, ConcurrentWriters) {
    std::string page = "<html>";
    std::set<std::string> reports;
    for (int i = 0; i < 20; ++i) {
        std::string tag = "t";  // (built in two steps: GCC 12 warns wrongly on "t" + ...)
        tag += std::to_string(i);
        std::string report = "{\"" + tag + "\":[";
        for (int k = 0; k < 2000; ++k) {
            page += "<" + tag + ">" + std::to_string(k) + "</" + tag + ">";
            report += std::string(k ? ", " : "") + "{\"attr\":\"\", \"text\":\"" +
                      std::to_string(k) + "\"}";
        }
        reports.insert(report + "]}");
    }
    dir.write("many.html", page + "</html>");
    for (int trial = 0; trial < 3; ++trial) {
        ToolRun r = shell(
            "pids=; for i in $(seq 0 19); do \"$K\" ./many.html -tag t$i -o ./out.json >/dev/null &"
            " pids=\"$pids $!\"; done\n"
            "ok=0; for p in $pids; do wait $p; [ $? -eq 1 ] && ok=$((ok+1)); done; echo $ok\n"
            "ls -a | grep -c '^\\.kestrune-'");
        EXPECT_EQ(r.output, "20\n0\n");
        EXPECT_EQ(reports.count(readFile(dir.path() + "/out.json")), 1u);
    }
}

// The first failed write ends a raw-block run: later blocks are not even rendered.
// Seen through memory: a large script block after the failure needs none, just as
// the same block as a style (not asked for) needs none. The address-space limit is
// the least with which the style page runs, found by bisection, and a little more.
TEST_F(FaultTest, RawBlockRunEndsAtFirstFailedWrite) {
#if KESTRUNE_ADDRESS_SANITIZER
    GTEST_SKIP() << "the address sanitizer's address space hides the difference";
#else
    for (const char* tag : {"script", "style"}) {
        dir.write(std::string(tag) + ".html",
                  "<html><body><script>" + std::string(1'500'000, 'x') + "</script><" + tag + ">" +
                      std::string(8'000'000, 'y') + "</" + tag + "></body></html>");
    }
    ToolRun r = shell(
        "runs() { (ulimit -v $1; exec \"$K\" ./$2.html -tag script -o /dev/full) 2>&1; }\n"
        "lo=1000; hi=400000; runs $hi style | grep -q 'No space' || exit 77\n"
        "while [ $((hi - lo)) -gt 256 ]; do mid=$(((lo + hi) / 2))\n"
        "  if runs $mid style | grep -q 'No space'; then hi=$mid; else lo=$mid; fi; done\n"
        "runs $((hi + 4096)) script; echo $?");
    if (r.status == kSkipped) GTEST_SKIP() << "the style page does not run under 400 MB";
    EXPECT_EQ(r.output,
              "Error: output file \"/dev/full\" could not be written: No space left on "
              "device.\r\n255\n");
#endif
}

// Memory that runs out ends the run with a message and 255: no abort, no partial file.
// (The report of the body, one element holding the text of the whole page, needs
// more than twice the page: 20 MB are too few.)
TEST_F(FaultTest, OutOfMemory) {
#if KESTRUNE_ADDRESS_SANITIZER
    GTEST_SKIP() << "the address sanitizer needs more address space than the limit leaves";
#else
    for (const char* output : {"", " -o ./out.json"}) {
        SCOPED_TRACE(output);
        ToolRun r =
            shell(std::string("echo old > out.json; (ulimit -v 20000; exec \"$K\" \"$B\" "
                              "-tag body") +
                      output + ")\nst=$?; cat out.json; ls -a | grep '^\\.kestrune-'; exit $st",
                  true);
        EXPECT_EQ(r.status, 255);
        EXPECT_EQ(r.signal, 0);
        EXPECT_EQ(r.output, "Error: out of memory.\r\nold\n");
        EXPECT_EQ(r.errors, "");
    }
#endif
}

// Inputs that cannot seek are read to their end and give what the file gives; an
// endless one is refused at the size limit.
TEST_F(FaultTest, StreamInputs) {
    const std::string expected = "text=Home\r\nhref=/x\r\ntext=About\r\nhref=/y\r\n";
    const char* scripts[] = {
        "cat \"$P\" | \"$K\" /dev/stdin -tag a -attr href",
        "exec \"$K\" /dev/stdin -tag a -attr href < \"$P\"",
        "mkfifo f; cat \"$P\" > f & exec \"$K\" ./f -tag a -attr href",
        "exec bash -c '\"$0\" <(cat \"$1\") -tag a -attr href' \"$K\" \"$P\"",
    };
    for (const char* script : scripts) {
        SCOPED_TRACE(script);
        ToolRun r = shell(script);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.output, expected);
    }
    ToolRun r = shell("yes | \"$K\" /dev/stdin -tag a");
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.output, "Error: The file \"/dev/stdin\" open failed.\r\n");
}

// A code page variable that is set but empty is not set.
TEST_F(FaultTest, EmptyCodePageSettingIsUnset) {
    ToolRun r = shell("KESTRUNE_CODEPAGE= exec \"$K\" \"$P\" -tag a -attr href");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.output, "text=Home\r\nhref=/x\r\ntext=About\r\nhref=/y\r\n");
}

// Standard input that is a socket (inetd, socket activation) is read through its
// descriptor as "/dev/stdin", under the same size limit.
TEST_F(FaultTest, SocketAsStandardInput) {
    const std::string serve =
        "/usr/bin/python3 -c 'import os' 2>/dev/null || exit 77\n"
        "/usr/bin/python3 - \"$K\" \"$P\" \"$N\" <<'EOF'\n"
        "import os, socket, sys\n"
        "a, b = socket.socketpair()\n"
        "pid = os.fork()\n"
        "if pid == 0:\n"
        "    os.dup2(b.fileno(), 0)\n"
        "    os.execv(sys.argv[1], [sys.argv[1], '/dev/stdin', '-tag', 'a', '-attr', 'href'])\n"
        "b.close()\n"
        "page = open(sys.argv[2], 'rb').read()\n"
        "try:\n"
        "    for _ in range(int(sys.argv[3])): a.sendall(page)\n"
        "    a.shutdown(socket.SHUT_WR)\n"
        "except OSError:\n"
        "    pass\n"
        "sys.exit(os.waitstatus_to_exitcode(os.waitpid(pid, 0)[1]))\n"
        "EOF\n";
    ToolRun r = shell("N=1\n" + serve);
    if (r.status == kSkipped) GTEST_SKIP() << "no python3 to make a socket";
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.output, "text=Home\r\nhref=/x\r\ntext=About\r\nhref=/y\r\n");
    r = shell("N=200000\n" + serve);
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.output, "Error: The file \"/dev/stdin\" open failed.\r\n");
}

// Without a program directory a bare name is no file: never one in "/". The
// directory is unknown when the program's path is too long for the system to give.
TEST_F(FaultTest, ProgramDirectoryUnknown) {
    const std::string deep =
        "d=$(printf '%0200d' 0); for i in $(seq 25); do mkdir -p $d && cd -P $d || exit 77; done\n"
        "cp \"$K\" ./kestrune && cp \"$P\" ./page.html || exit 77\n";
    ToolRun r = shell(deep + "./kestrune page.html -tag a");
    ASSERT_NE(r.status, kSkipped);
    EXPECT_EQ(r.output.substr(0, 41), "Error: The file \"page.html\" is not exist.");
    r = shell(deep + "./kestrune ./page.html -tag a -o x.json");
    EXPECT_EQ(r.output.substr(0, 44), "Error: output file by -o \"x.json\" is not val");
    r = shell(deep + "./kestrune ./page.html -tag a -attr href");
    EXPECT_EQ(r.output, "text=Home\r\nhref=/x\r\ntext=About\r\nhref=/y\r\n");
}

// Without /proc the program's directory comes from the name it was started under.
TEST_F(FaultTest, ProgramDirectoryFromItsName) {
#if KESTRUNE_ADDRESS_SANITIZER
    GTEST_SKIP() << "the address sanitizer cannot start without /proc";
#else
    const std::string hideProc = "umount -l /proc 2>/dev/null || exit 77\n";
    const std::string page = dir.write("page.html", kPage);
    std::string copy = dir.path() + "/kestrune";
    ToolRun r = shell("cp \"$K\" ./kestrune; " + hideProc +
                          "exec bash -c 'exec -a \"$0\" \"$0\" page.html -tag a -attr href' \"" +
                          copy + "\"",
                      false, true);
    if (r.status == kSkipped) GTEST_SKIP() << "cannot hide /proc on this machine";
    EXPECT_EQ(r.output, "text=Home\r\nhref=/x\r\ntext=About\r\nhref=/y\r\n");
    // A name the PATH search does not find leaves the directory unknown.
    r = shell("cp \"$K\" ./kestrune; " + hideProc +
                  "exec bash -c 'exec -a kestrune-elsewhere ./kestrune page.html -tag a'",
              false, true);
    EXPECT_EQ(r.output.substr(0, 41), "Error: The file \"page.html\" is not exist.");
#endif
}

}  // namespace
}  // namespace kestrune
