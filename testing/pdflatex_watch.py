"""Watching tagweave and pdflatex for what a hostile page is after: running
them under strace, then finding in the trace every file they reached outside
the page's folder, and in the PDF every action that launches a program or
opens a local file. Used by testing/hostile-pages and, with --watch, by
testing/compile-random."""

import os
import re
import shutil
import zlib

# Where a program may read outside the page's folder: the system's programs
# and libraries, TeX Live's trees, configuration and caches, and the kernel's
# files. Anything else outside the folder is what a page could be after.
SYSTEM_READ_PREFIXES = (
    "/usr/", "/lib/", "/lib64/", "/bin/", "/sbin/", "/etc/texmf/", "/etc/ld.so.",
    "/etc/localtime", "/etc/nsswitch.conf", "/var/lib/texmf/", "/var/cache/fonts/",
    "/proc/", "/sys/", "/dev/",
)
# Where TeX itself may write outside the folder: the caches of fonts it makes.
SYSTEM_WRITE_PREFIXES = ("/var/lib/texmf/", "/var/cache/fonts/", "/dev/null", "/dev/tty")

QUOTED = re.compile(r'"((?:[^"\\]|\\.)*)"')
# A call relative to a descriptor, which strace -y shows with its path:
# openat(3</site/escape>, "x.png", ...).
# A descriptor that is no file (a pipe, a socket) has no path.
RELATIVE_TO_DESCRIPTOR = re.compile(r'\w+\(\d+<(/[^>]*)>, "((?:[^"\\]|\\.)*)"')
DESCRIPTOR_PATH = re.compile(r'\d+<(/[^>]*)>')
WRITING = re.compile(r"O_WRONLY|O_RDWR|O_CREAT|O_TRUNC|^\d+\s+(?:rename|unlink|mkdir|rmdir|link|"
                     r"symlink|chmod|truncate)")


def traced(args, trace):
    """`args` under strace, its file calls written to `trace`. The program
    is named by its whole path, so that no search along PATH shows up in
    the trace."""
    program = shutil.which(args[0]) or args[0]
    return (["strace", "-f", "-qq", "-y", "-e", "trace=%file", "-o", str(trace), program] +
            list(args[1:]))


def unescaped(text):
    return text.encode("latin-1", "backslashreplace").decode("unicode_escape", "replace")


def reached_path(folder, path):
    """Where `path`, named relative to `folder`, leads: every folder on the
    way resolved, links followed, but not its last part, which a call may
    look at without following (lstat, O_NOFOLLOW)."""
    joined = os.path.normpath(os.path.join(str(folder), path.replace("\0", "")))
    return os.path.join(os.path.realpath(os.path.dirname(joined)), os.path.basename(joined))


# Calls that name two paths; any other names one, first (readlink's second
# string is what it read, execve's are the arguments).
TWO_PATHS = re.compile(r"^\d+\s+(?:rename|renameat2?|link|linkat|symlink|symlinkat)\(")
FAILED = re.compile(r"\) = -1 ")


def reached(trace, folder):
    """(path, writes) for each path a traced file call reached: calls that
    failed reached nothing (TeX looks for many files that are not there)."""
    lines = trace.read_text(errors="replace").splitlines()
    for number, line in enumerate(lines):
        if number == 0 and "execve(" in line:
            continue  # the traced program itself
        if FAILED.search(line):
            continue
        writes = bool(WRITING.search(line))
        relative = RELATIVE_TO_DESCRIPTOR.search(line)
        if re.search(r'\w+\(\d+<[^/>][^>]*>, ""', line):
            continue  # a call on a pipe or socket
        if relative:
            yield reached_path(unescaped(relative.group(1)), unescaped(relative.group(2))), writes
        else:
            named = QUOTED.findall(line)[:2 if TWO_PATHS.search(line) else 1]
            for text in map(unescaped, named):
                if text:
                    yield reached_path(folder, text), writes
        for match in DESCRIPTOR_PATH.finditer(line):
            yield unescaped(match.group(1)), writes


def is_inside(path, folder):
    folder = os.path.realpath(str(folder))
    return path == folder or path.startswith(folder + os.sep)


def paths_outside(trace, folder, program_files=()):
    """The paths reached outside `folder` that are not the system's own,
    sorted; a write must stay in the folder or TeX's font caches.
    `program_files` are prefixes of the traced program's own files (a shared
    library beside it) that it may read."""
    home = os.path.expanduser("~")
    read_ok = (SYSTEM_READ_PREFIXES + tuple(program_files)
               + (home + "/texmf", home + "/.texlive", home + "/.texmf"))
    write_ok = SYSTEM_WRITE_PREFIXES + (home + "/.texlive",)
    found = set()
    for path, writes in reached(trace, folder):
        if is_inside(path, folder) or path in ("/", os.path.dirname(os.path.realpath(str(folder)))):
            continue
        allowed = write_ok if writes else read_ok
        if not path.startswith(allowed) and path + "/" not in allowed:
            found.add(("wrote " if writes else "read ") + path)
    return sorted(found)


def inflated_pdf(pdf):
    """The PDF with each compressed stream inflated, for searching."""
    data = pdf.read_bytes()
    pieces = [data]
    for match in re.finditer(rb"stream\r?\n", data):
        try:
            pieces.append(zlib.decompressobj().decompress(data[match.end():]))
        except zlib.error:
            pass
    return b"\n".join(pieces)


def dangerous_actions(pdf):
    """The Launch and GoToR actions of a PDF, by kind."""
    return sorted({a.decode() for a in re.findall(rb"/S\s*/(Launch|GoToR)", inflated_pdf(pdf))})


def ran_a_command(log_text):
    """Whether pdflatex was asked to run a command (\\write18)."""
    return "runsystem" in log_text
