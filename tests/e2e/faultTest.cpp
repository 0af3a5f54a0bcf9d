// SPDX-License-Identifier: MIT
// The tool at its edges, through the built binary: full disks, outputs that cannot
// be made, links the kernel refuses, pipes and deleted files named by /dev/fd, file
// size limits, standard output that fails, killed and concurrent runs, memory that
// runs out, inputs that cannot seek, a program directory that cannot be found. Each
// case is a shell script that prints what it checks; cases the machine does not
// permit (mounts, other users, file attributes, kernel settings) are skipped with
// the reason.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "base/compiler.h"
#include "support/runTool.h"

namespace kestrune {
namespace {

using testing::TempDir;
using testing::ToolRun;

const std::string kPage =
    "<html><body><a href=\"/x\">Home</a><a href=\"/y\">About</a></body></html>";
const std::string kReport =
    "{\"a\":[{\"href\":\"/x\", \"text\":\"Home\"}, {\"href\":\"/y\", \"text\":\"About\"}]}";
const std::string kConsole = "text=Home\r\nhref=/x\r\ntext=About\r\nhref=/y\r\n1\n";  // and status
const std::string kNoSpace = "No space left on device";
const std::string kLoop = "Too many levels of symbolic links";

// The message of an output file that could not be written, then the status.
std::string fails(const std::string& target, const std::string& reason) {
    return "Error: output file \"" + target + "\" could not be written: " + reason + ".\r\n255\n";
}

// Shell functions for the scripts: a (the tool on P, -tag a -attr href, and more
// arguments), div (the tool on B, -tag div, and more arguments), run (a -o "$T"),
// to (a -o to the file given, printing only the status), old (writes "old" to the
// target and copies it to ./original), kept (prints the status of the command
// before it, then whether the target, or KEPT, changed from ./original and whether
// a temporary file is left beside it), tmp (whether a temporary file is in the
// directory given, or in the current one), nobody (runs a command as user 65534),
// deep (goes down to a directory whose path is over 4096 bytes), noAsan (skips where
// the address sanitizer's address space hides what is measured) and mountTmpfs
// (mounts a tmpfs on m with the options given; the target is then m/out.json).
const std::string kPrologue = std::string("\nasan=") + (KESTRUNE_ADDRESS_SANITIZER ? "1" : "") +
                              R"sh(
a() { "$K" "$P" -tag a -attr href "$@"; }
div() { "$K" "$B" -tag div "$@"; }
run() { a -o "$T"; }
to() { a -o "$1" > /dev/null; echo $?; }
old() { echo old > "$T"; cp "$T" ./original; }
kept() { echo $?; [ -e ./original ] && { cmp -s ./original "${KEPT:-$T}" || echo changed; }
  tmp "$(dirname "$T")" && echo 'temporary file left'; }
tmp() { ls -a "${1:-.}" | grep -q '^\.kestrune-'; }
nobody() { setpriv --reuid=65534 --regid=65534 --clear-groups "$@"; }
deep() { d=$(printf '%0200d' 0); for i in $(seq 25); do mkdir -p $d && cd -P $d; done; }
noAsan() { [ -z "$asan" ] || { echo 'under the address sanitizer'; exit 77; }; }
mountTmpfs() { mkdir m && mount -t tmpfs -o "$1" tmpfs m || exit 77; T=m/out.json; }
)sh";

// Runs `body` with sh in `dir`, where K is the tool, P a small page (kPage) and B,
// when the body names it or div, a page just under 10 MiB whose div report is some
// megabytes. A body that mounts runs in a mount namespace of its own.
ToolRun shellIn(const TempDir& dir, const std::string& body) {
    std::string big;
    if (body.find("$B") != std::string::npos || body.find("div") != std::string::npos) {
        big = "<html><body>";
        while (big.size() < 9'900'000) big += "<div class=c>x y</div>";
        big = dir.write("big.html", big + "</body></html>");
    }
    const std::string script = "export K='" + testing::toolPath() + "' P='" +
                               dir.write("page.html", kPage) + "' B='" + big + "'" + kPrologue +
                               body;
    const std::string isolated =
        "unshare -m true 2>/dev/null || exit 77; exec unshare -m sh -c \"$0\"";
    const bool mounts = body.find("mount") != std::string::npos;
    return testing::runTool({"-c", mounts ? isolated : script, script}, dir.path(), "/bin/sh");
}

// What a script wrote to standard error, without the address sanitizer's warnings
// about itself (it cannot read the name of a program deeper than 4096 bytes).
std::string errorsOf(const ToolRun& r) {
    if (!KESTRUNE_ADDRESS_SANITIZER) return r.errors;
    std::istringstream lines(r.errors);
    std::string kept;
    for (std::string line; std::getline(lines, line);) {
        if (!line.starts_with("==") || line.find("==WARNING: ") == std::string::npos)
            kept += line + "\n";
    }
    return kept;
}

// All a script is to print, and the script; nothing goes to standard error.
using Case = std::pair<std::string, std::string>;

// Each script in a fresh directory; one that exits with 77 is skipped.
void expectRuns(const std::vector<Case>& cases) {
    for (const auto& [expected, script] : cases) {
        SCOPED_TRACE(script);
        TempDir dir;
        ToolRun r = shellIn(dir, script);
        if (r.status == 77) {  // not permitted here
            std::printf("(case skipped) %s\n%s", script.c_str(),
                        r.output.empty() ? "not permitted on this machine\n" : r.output.c_str());
            continue;
        }
        EXPECT_EQ(r.output, expected);
        EXPECT_EQ(errorsOf(r), "");
    }
}

class FaultTest : public ::testing::Test {
    void SetUp() override {
#if defined(_WIN32)
        GTEST_SKIP() << "POSIX shell scripts: a Windows program cannot run them";
#endif
    }
};

// Runs that fail: status 255 and the message, the target as it was and no temporary
// file left. A run ended by a signal while it writes leaves the old report (or the
// whole new one): KILL gives no chance to remove the temporary file, every other
// signal that ends a process does (the run starts with every signal at its default
// action: a shell's background job ignores INT and QUIT). The first failed write
// ends a raw-block run: later blocks are not even rendered, seen through memory (a
// large script block after the failure needs none, like the same block as a style
// not asked for; the address-space limit is the least with which the style page
// runs, found by bisection, and a little more).
TEST_F(FaultTest, FailedRunsKeepTheTarget) {
    expectRuns({
        {fails("/dev/full", kNoSpace), "T=/dev/full; run; kept"},
        {fails("m/out.json", kNoSpace), "mountTmpfs size=64k; old; div -o $T; kept"},
        {fails("ro/out.json", "Permission denied"),
         R"(nobody true || exit 77; mkdir ro; T=ro/out.json; old; chmod 555 ro; chmod 755 .
cp "$K" ./k; nobody ./k "$P" -tag a -o $T; kept)"},
        {fails("m/out.json", "Read-only file system"),
         "mountTmpfs size=64k; old; mount -o remount,ro m || exit 77; run; kept"},
        {fails("./out.json", "Operation not permitted"),
         "T=./out.json; old; chattr +i $T 2>/dev/null || exit 77; run; kept; chattr -i $T"},
        {fails("./adir", "Is a directory"), "mkdir adir; T=./adir; run; kept"},
        // A descriptor open only for reading; one that is not open is a missing file.
        {fails("/dev/fd/3", "Bad file descriptor"),
         "echo old > f; cp f original; KEPT=f T=/dev/fd/3; run 3< f; kept"},
        {fails("/dev/fd/9", "No such file or directory"), "T=/dev/fd/9; run; kept"},
        {fails(std::filesystem::path(testing::toolPath()).parent_path().string() + "/.",
               "Is a directory"),
         "T=.; run; kept"},
        {fails("./l1", kLoop), "ln -s l1 l2; ln -s l2 l1; T=./l1; run; kept"},
        // A link on a mount that follows none.
        {fails("m/out.json", kLoop), R"(mountTmpfs nosymfollow
echo secret > m/conf; cp m/conf ./original; KEPT=m/conf; ln -s conf $T; run; kept)"},
        // Another user's link in a sticky directory, fs.protected_symlinks turned on
        // for the run where it is off (and may be set).
        {fails("st/out.json", "Permission denied"),
         R"(nobody true || { echo 'needs root and a second user'; exit 77; }
was=$(cat /proc/sys/fs/protected_symlinks 2>/dev/null)
{ [ "$was" = 1 ] || echo 1 2>/dev/null > /proc/sys/fs/protected_symlinks; } ||
  { echo 'fs.protected_symlinks is off and cannot be set'; exit 77; }
chmod 755 .; mkdir -m 700 private; echo secret > private/conf; cp private/conf ./original
KEPT=private/conf; mkdir -m 1777 st; nobody ln -s "$PWD/private/conf" st/out.json
T=st/out.json; run; kept; [ "$was" = 1 ] || echo "$was" > /proc/sys/fs/protected_symlinks)"},
        {fails("./" + std::string(300, '0'), "File name too long"),
         "T=./$(printf '%0300d' 0); run; kept"},
        {fails("./k", "Text file busy"),
         R"(cp "$K" ./k; T=./k; cp k original; ./k "$P" -tag a -o $T; kept)"},
        // Under a file size limit the write that passes it fails, with no SIGXFSZ.
        {fails("./x.json", "File too large") +
             "Error: standard output could not be written: File too large.\r\n255\n",
         R"(T=./x.json; (ulimit -f 100; div -o $T); kept; [ -e $T ] && echo made
(ulimit -f 100; div 2>&1 > out.txt); echo $?)"},
        // Memory that runs out: the message and 255, no abort. (The report of the
        // body, one element holding the text of the whole page, needs more than
        // twice the page: 20 MB are too few.)
        {"Error: out of memory.\r\n255\nError: out of memory.\r\n255\n",
         R"(noAsan; (ulimit -v 20000; exec "$K" "$B" -tag body); echo $?
T=./out.json; old; (ulimit -v 20000; exec "$K" "$B" -tag body -o $T); kept)"},
        {fails("/dev/full", kNoSpace), R"(noAsan; h='<html><body><script>%01500000d</script>'
for t in script style; do printf "$h<%s>%08000000d</%s></body></html>" 0 $t 0 $t > $t.html; done
runs() { (ulimit -v $1; exec "$K" ./$2.html -tag script -o /dev/full) 2>&1; }
fits() { runs $1 style | grep -q 'No space'; }; lo=1000; hi=400000; fits $hi || exit 77
while [ $((hi - lo)) -gt 256 ]; do mid=$(((lo + hi) / 2)); fits $mid && hi=$mid || lo=$mid; done
runs $((hi + 4096)) script; echo $?)"},
        {"", R"sh(div -o whole.json > /dev/null
for S in KILL TERM HUP INT QUIT USR1 USR2 ALRM VTALRM PROF; do echo old > out.json
  env --default-signal "$K" "$B" -tag div -o ./out.json > /dev/null & pid=$!
  i=0; until tmp || [ $i -ge 100000 ]; do i=$((i+1)); done; kill -$S $pid; wait $pid 2>/dev/null
  [ $S != KILL ] && tmp && echo "$S: temporary file left"; rm -f .kestrune-*
  cmp -s out.json whole.json || [ "$(cat out.json)" = old ] || echo "$S: report changed"; done)sh"},
    });
}

// Targets that get the report. Standard output that fails ends the run with 255 and
// says so on standard error; "-o /dev/stdout" into a file gives the report, then
// the console line; a device is written directly. A symbolic link stays a link, its
// target gets the report with its own permission bits, a second name of the old file
// keeps the old report. A replaced file keeps its owner, group, permission bits and
// user attributes where the process may set them (another user's file; a file whose
// group is not its set-group-ID directory's; set-user-ID, set-group-ID and sticky
// bits), and is replaced under its whole real name however long. Named by a
// descriptor (/dev/fd/N, /dev/stderr, /proc/self/fd/N, >(...)), the report goes
// through it: after what the caller wrote there, at its end when it appends. A file
// deleted while open, named otherwise, is emptied and written where it is.
// Temporary names cannot be guessed: names made in advance by another process are
// no obstacle, and a target named like one of them is an ordinary file.
TEST_F(FaultTest, TargetsGetTheReport) {
    const std::string ok = "1\n" + kReport;
    const std::string stdoutFull =
        "Error: standard output could not be written: No space left on device.\r\n255\n";
    expectRuns({
        {stdoutFull + stdoutFull,
         "a 2>&1 > /dev/full; echo $?; a -o /dev/stdout 2>&1 > /dev/full; echo $?"},
        {ok + "\r\nOutput File: /dev/stdout\r\n", "a -o /dev/stdout > o.json; echo $?; cat o.json"},
        {"\r\nOutput File: /dev/null\r\n1\n", "T=/dev/null; run; echo $?"},
        {"\r\nOutput File: ./T.json\r\n1\n640\nold\n" + kReport,
         R"(echo old > real.json; chmod 640 real.json; ln real.json hard.json; ln -s real.json T.json
T=./T.json; run; kept; [ -L T.json ] && stat -c %a real.json; cat hard.json real.json)"},
        {"1\n65534:65534 600\n" + kReport, R"(T=./n.json; echo old > $T
chown 65534:65534 $T && chmod 600 $T || exit 77; to $T; stat -c '%u:%g %a' $T; cat $T)"},
        {"1\n0 640\n" + kReport, R"(mkdir sg && chgrp 65534 sg && chmod 2775 sg || exit 77
T=sg/g.json; echo old > $T; chgrp 0 $T; chmod 640 $T; to $T; stat -c '%g %a' $T; cat $T)"},
        {"1\n4755\n1\n2640\n1\n1644\n", R"(for m in 4755 2640 1644; do
  echo old > f$m; chmod $m f$m; to ./f$m; stat -c %a f$m; done)"},
        {"kept\n" + kReport, R"(py() { /usr/bin/python3 -c "import os; $1"; }; echo old > x.json
py 'os.setxattr("x.json", "user.origin", b"kept")' 2>/dev/null || exit 77
T=./x.json; run > /dev/null; py 'print(os.getxattr("x.json", "user.origin").decode())'; cat $T)"},
        {ok + ok, R"(for f in /dev/fd/3 /dev/stderr; do
  { a -o $f 3>&1 2>&1 > /dev/null; echo $? > st; } | cat > got.json; cat st got.json; done)"},
        {"earlier\n" + kReport + " 1\n" + kReport + " 1\n" + kReport + " 1\n",
         R"(echo earlier > log; for f in /dev/stderr /dev/fd/3 '\proc\self\fd\3'; do
  a -o "$f" 2>> log 3>> log > /dev/null; echo " $?" >> log; done; cat log)"},
        {"first\n" + kReport + " 1\n",
         R"({ echo first >&3; a -o /dev/fd/3 > /dev/null; echo " $?" >&3; } 3> log; cat log)"},
        {ok, R"(bash -c '"$K" "$P" -tag a -attr href -o >(cat > got.json) > /dev/null; st=$?
wait $!; echo $st'; cat got.json)"},
        // A real path of some 450 bytes.
        {ok, R"(L=$(printf '%0140d' 0); D="$PWD/$L/$L/$L"; mkdir -p "$D" && echo old > "$D/got.json"
ln -s "$D/got.json" l.json; to ./l.json; cat "$D/got.json"
find . -type f ! -name page.html ! -name got.json)"},
        {ok, "deep; echo old > got.json; to ./got.json; cat got.json"},
        {ok, R"(exec 3<> d.json; printf '%03000d' 0 >&3; rm d.json; to /proc/$$/fd/3; cat /dev/fd/3
ls -A | grep -vx page.html)"},
        {ok, R"(sh -c 'for i in $(seq 0 100); do : > .kestrune-$$-$i.tmp; done
exec "$K" "$P" -tag a -attr href -o ./out.json' > /dev/null; echo $?; cat out.json)"},
        {ok, R"(sh -c 'exec "$K" "$P" -tag a -attr href -o ./.kestrune-$$-0.tmp' > /dev/null
echo $?; cat .kestrune-*-0.tmp)"},
    });
}

// Inputs that cannot seek (pipes, FIFOs, sockets as standard input, as from inetd)
// are read to their end and give what the file gives; an endless one is refused at
// the size limit. A code page variable that is set but empty is not set. Without a
// program directory a bare name is no file, never one in "/": the directory is
// unknown when the program's path is too long for the system to give, or, without
// /proc, when the name it was started under is not found.
TEST_F(FaultTest, InputsAndProgramDirectory) {
    const std::string refused = "Error: The file \"/dev/stdin\" open failed.\r\n255\n";
    const std::string missing = "Error: The file \"page.html\" is not exist.\r\n";
    expectRuns({
        {kConsole, R"(cat "$P" | "$K" /dev/stdin -tag a -attr href; echo $?)"},
        {kConsole, R"("$K" /dev/stdin -tag a -attr href < "$P"; echo $?)"},
        {kConsole, R"(mkfifo f; cat "$P" > f & "$K" ./f -tag a -attr href; echo $?)"},
        {kConsole, R"(bash -c '"$K" <(cat "$P") -tag a -attr href'; echo $?)"},
        {kConsole, R"(KESTRUNE_CODEPAGE= "$K" "$P" -tag a -attr href; echo $?)"},
        {refused, R"(yes | "$K" /dev/stdin -tag a; echo $?)"},
        // A socket as standard input, fed from a pipe.
        {kConsole + refused,
         R"([ -x /usr/bin/python3 ] || exit 77; sock() { /usr/bin/python3 -c 'import socket, subprocess, sys
a, b = socket.socketpair(); p = subprocess.Popen(sys.argv[1:], stdin=b); b.close()
try:
    for c in iter(lambda: sys.stdin.buffer.read1(1 << 16), b""): a.sendall(c)
    a.shutdown(socket.SHUT_WR)
except OSError: pass
sys.exit(p.wait())' "$@"; }
sock "$K" /dev/stdin -tag a -attr href < "$P"; echo $?; yes | sock "$K" /dev/stdin -tag a; echo $?)"},
        {missing + "Error: output file by -o \"x.json\" is not valid.\r\n" + kConsole,
         R"(deep; cp "$K" ./kestrune; cp "$P" ./page.html
./kestrune page.html -tag a | head -1; ./kestrune ./page.html -tag a -o x.json | head -1
./kestrune ./page.html -tag a -attr href; echo $?)"},
        {kConsole + missing, R"(noAsan; cp "$K" ./kestrune; umount -l /proc 2>/dev/null || exit 77
bash -c 'exec -a "$0" "$0" page.html -tag a -attr href' "$PWD/kestrune"; echo $?
bash -c 'exec -a kestrune-elsewhere ./kestrune page.html -tag a' | head -1)"},
    });
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
    TempDir dir;
    dir.write("many.html", page + "</html>");
    for (int trial = 0; trial < 3; ++trial) {
        ToolRun r = shellIn(dir, R"(pids=; for i in $(seq 0 19); do
  "$K" ./many.html -tag t$i -o ./out.json >/dev/null & pids="$pids $!"; done
ok=0; for p in $pids; do wait $p; [ $? -eq 1 ] && ok=$((ok+1)); done; echo $ok
ls -a | grep -c '^\.kestrune-')");
        EXPECT_EQ(r.output, "20\n0\n");
        EXPECT_EQ(reports.count(testing::readFile(dir.path() + "/out.json")), 1u);
    }
}

}  // namespace
}  // namespace kestrune
