#!/usr/bin/env python3
r"""Writes html5/latex2e/char_table.inc, the data behind html5/latex2e/characters.cpp.

Run from anywhere (TeX Live's pdflatex and kpsewhich on PATH), then commit
the result:

    python3 html5/latex2e/make_char_table.py

For every non-ASCII code point the table says how the LaTeX2e writer puts it
into a document with the writer's fixed preamble (PREAMBLE below): its own
UTF-8 bytes, or LaTeX that typesets it. Code points without an entry get a
placeholder from the writer.

Where the entries come from, first choice first:

1. Pass-through. inputenc's utf8 option reads the UTF-8 mapping files
   (ENCenc.dfu) of every font encoding declared when the document starts.
   The script asks LaTeX which encodings those are, finds the files with
   kpsewhich, and reads their \DeclareUnicodeCharacter lines, and those of
   utf8.def itself: such a code point is written as its own UTF-8.
2. Our mapping (OUR_TEXT, OUR_MATH and the Greek letters below): further
   characters written as LaTeX commands, math symbols through \ensuremath.
3. Derived from Python's unicodedata: accented letters from their canonical
   decomposition (accent commands over a base the table can write),
   superscripts, subscripts, fractions, circled, fullwidth, compatibility
   letters and mathematical alphabets from their compatibility
   decomposition, box drawing and block elements from their names.

Every candidate is then compiled with pdflatex in documents that use the
preamble, in batches: in a paragraph, at its start, in \textbf, \emph,
bold italic, \texttt, \href text, a footnote, a numbered \section (with the
table of contents and the PDF bookmarks that it makes), \section* and a
longtable p-column. A candidate is dropped, with the reason printed and kept
as a comment in the output, when its document stops with an error (an
undefined command, a character not set up for use with LaTeX, ...), when the
log has "Missing character" for it (\tracinglostchars is set, so a glyph the
font lacks is logged instead of vanishing silently), or, for an accent
command, when the accent does not sit on its letter (the accented letter is
wider than the letter). A code point whose first candidate fails gets its
next one; one with none left gets no entry.

Entries other than pass-through are wrapped in \texorpdfstring, so that PDF
bookmarks get the character itself. Every entry ends with '}' or is a single
character or a control symbol, so it never swallows a following letter or
space, and holds balanced braces, so it works inside any argument.

The output depends only on the TeX Live files, Python's Unicode data and
pdflatex's verdicts: entries sorted by code point, every byte outside
printable ASCII written as a hex escape.
"""

import concurrent.futures
import os
import pathlib
import re
import subprocess
import sys
import tempfile
import textwrap
import unicodedata

OUTPUT = pathlib.Path(__file__).with_name("char_table.inc")

PREAMBLE = r"""\documentclass{article}
\usepackage[T1]{fontenc}
\usepackage[utf8]{inputenc}
\usepackage{lmodern}
\usepackage{textcomp}
\usepackage{amssymb}
\usepackage{array}
\usepackage{longtable}
\usepackage{graphicx}
\usepackage[hidelinks]{hyperref}
"""

# Candidates per test document: large enough that pdflatex's start-up does
# not dominate, small enough that the batches spread over the cores and that
# a run stopped by an error costs little to repeat.
BATCH_SIZE = 200

# No test document nor kpsewhich takes nearly this long: a program still
# running then has hung, and the script stops.
TIMEOUT_SECONDS = 600

# How much of a failed probe's log to show: its error and what led to it.
LOG_TAIL_CHARACTERS = 2000

# The last code point; surrogates are not characters and never get an entry.
LAST_CODE_POINT = 0x10FFFF
SURROGATES = range(0xD800, 0xE000)

# --- Pass-through: what inputenc declares ------------------------------------


def output_of(args):
    """What a program prints on standard output, stripped."""
    return subprocess.run(args, stdin=subprocess.DEVNULL, capture_output=True,
                          check=False, timeout=TIMEOUT_SECONDS
                          ).stdout.decode().strip()


def pdflatex(directory, name="doc"):
    """Runs pdflatex once on NAME.tex; returns (exit status, log text)."""
    # Long log lines unbroken, so that messages are found whole.
    env = dict(os.environ, max_print_line="100000")
    result = subprocess.run(
        ["pdflatex", "-interaction=nonstopmode", "-halt-on-error",
         f"{name}.tex"], cwd=directory, env=env, stdin=subprocess.DEVNULL,
        capture_output=True, check=False, timeout=TIMEOUT_SECONDS)
    log = pathlib.Path(directory, f"{name}.log")
    text = (log.read_bytes().decode("utf-8", errors="replace")
            if log.exists() else "")
    return result.returncode, text


def declared_encodings():
    """The font encodings LaTeX has declared once the preamble is read: the
    ones whose mapping files inputenc reads."""
    probe = (PREAMBLE + "\\makeatletter\n"
             "\\begingroup\\def\\cdp@elt#1#2#3#4{\\typeout{ENCODING #1}}"
             "\\cdp@list\\endgroup\n"
             "\\begin{document}\n\\end{document}\n")
    with tempfile.TemporaryDirectory() as directory:
        pathlib.Path(directory, "doc.tex").write_text(probe, encoding="ascii")
        status, log = pdflatex(directory)
    encodings = re.findall(r"^ENCODING (\S+)$", log, re.MULTILINE)
    if status != 0 or not encodings:
        sys.exit("cannot list the declared font encodings:\n"
                 + log[-LOG_TAIL_CHARACTERS:])
    return encodings


def kpsewhich(name):
    found = output_of(["kpsewhich", name])
    return pathlib.Path(found) if found else None


def declaration_files():
    """utf8.def and the mapping file of each declared encoding that has one."""
    files = [kpsewhich("utf8.def")]
    for encoding in declared_encodings():
        path = kpsewhich(f"{encoding.lower()}enc.dfu")
        if path:
            files.append(path)
    if files[0] is None:
        sys.exit("kpsewhich does not find utf8.def")
    return files


def braced_argument(text, start):
    """The text of the balanced {...} group opening at text[start], and the
    index after it."""
    assert text[start] == "{"
    depth = 0
    for pos in range(start, len(text)):
        if text[pos] == "{":
            depth += 1
        elif text[pos] == "}":
            depth -= 1
            if depth == 0:
                return text[start + 1:pos], pos + 1
    raise ValueError("unbalanced braces in " + text[start:start + 60])


def read_declarations(path):
    """{code point: LaTeX} from a file's \\DeclareUnicodeCharacter lines."""
    declared = {}
    text = path.read_text(encoding="utf-8")
    for match in re.finditer(r"^\\DeclareUnicodeCharacter\{([0-9A-Fa-f]+)\}",
                             text, re.MULTILINE):
        body, _ = braced_argument(text, match.end())
        declared[int(match.group(1), 16)] = body.strip()
    return declared


def file_version(path):
    match = re.search(r"\\Provides(?:File|Package)\{[^}]*\}\s*\[([^\]]*)\]",
                      path.read_text(encoding="utf-8"))
    # "2022/06/07 v1.3c UTF-8 support": the date and the version.
    return " ".join(match.group(1).split()[:2]) if match else "unknown"


# --- Our mapping -------------------------------------------------------------

# Characters by their Unicode name and the LaTeX we write for them in text.
# Spaces keep their width ('\hspace' is glue, so a line may break there; the
# no-break ones are boxes or kerns); invisible format characters become an
# empty group, which is valid anywhere and shows nothing.
OUR_TEXT = [
    ("EN SPACE", r"\hspace{0.5em}"),
    ("EM SPACE", r"\hspace{1em}"),
    ("THREE-PER-EM SPACE", r"\hspace{0.3333em}"),
    ("FOUR-PER-EM SPACE", r"\hspace{0.25em}"),
    ("SIX-PER-EM SPACE", r"\hspace{0.1667em}"),
    ("FIGURE SPACE", r"\hphantom{0}"),
    ("PUNCTUATION SPACE", r"\hphantom{.}"),
    ("THIN SPACE", r"\hspace{0.1667em}"),
    ("HAIR SPACE", r"\hspace{0.0625em}"),
    ("NARROW NO-BREAK SPACE", r"\,"),
    ("MEDIUM MATHEMATICAL SPACE", r"\hspace{0.2222em}"),
    ("IDEOGRAPHIC SPACE", r"\hspace{1em}"),
    # A place where a line may break, showing nothing.
    ("ZERO WIDTH SPACE", r"\hspace{0pt}"),
    # A place where a line must not break, showing nothing; \nobreak is a
    # penalty, harmless between paragraphs too.
    ("WORD JOINER", r"\nobreak{}"),
    ("ZERO WIDTH JOINER", "{}"),
    ("LEFT-TO-RIGHT MARK", "{}"),
    ("RIGHT-TO-LEFT MARK", "{}"),
    ("LEFT-TO-RIGHT EMBEDDING", "{}"),
    ("RIGHT-TO-LEFT EMBEDDING", "{}"),
    ("POP DIRECTIONAL FORMATTING", "{}"),
    ("LEFT-TO-RIGHT OVERRIDE", "{}"),
    ("RIGHT-TO-LEFT OVERRIDE", "{}"),
    ("LEFT-TO-RIGHT ISOLATE", "{}"),
    ("RIGHT-TO-LEFT ISOLATE", "{}"),
    ("FIRST STRONG ISOLATE", "{}"),
    ("POP DIRECTIONAL ISOLATE", "{}"),
    ("FUNCTION APPLICATION", "{}"),
    ("INVISIBLE TIMES", "{}"),
    ("INVISIBLE SEPARATOR", "{}"),
    ("INVISIBLE PLUS", "{}"),
    ("COMBINING GRAPHEME JOINER", "{}"),
    # Dashes and hyphens.
    ("HYPHEN BULLET", "{-}"),
    ("MINUS SIGN", r"\textminus{}"),
    ("TWO-EM DASH", r"\textemdash{}\textemdash{}"),
    ("THREE-EM DASH", r"\textemdash{}\textemdash{}\textemdash{}"),
    ("HYPHENATION POINT", r"\textperiodcentered{}"),
    # The trade mark signs from the typewriter font, which lacks them.
    ("TRADE MARK SIGN", r"\textsuperscript{TM}"),
    ("SERVICE MARK", r"\textsuperscript{SM}"),
    # The capital sharp s as it is spelt without the letter, for the same.
    ("LATIN CAPITAL LETTER SHARP S", "{SS}"),
    # Primes as mathematics writes them.
    ("PRIME", r"\ensuremath{{}^{\prime}}"),
    ("DOUBLE PRIME", r"\ensuremath{{}^{\prime\prime}}"),
    ("TRIPLE PRIME", r"\ensuremath{{}^{\prime\prime\prime}}"),
    ("QUADRUPLE PRIME", r"\ensuremath{{}^{\prime\prime\prime\prime}}"),
    ("REVERSED PRIME", r"\ensuremath{{}^{\backprime}}"),
    ("MODIFIER LETTER PRIME", r"\ensuremath{{}^{\prime}}"),
    ("MODIFIER LETTER DOUBLE PRIME", r"\ensuremath{{}^{\prime\prime}}"),
    # Apostrophes and spacing accents.
    ("MODIFIER LETTER APOSTROPHE", r"\textquoteright{}"),
    ("MODIFIER LETTER TURNED COMMA", r"\textquoteleft{}"),
    ("MODIFIER LETTER MACRON", r"\textasciimacron{}"),
    ("MODIFIER LETTER ACUTE ACCENT", r"\textasciiacute{}"),
    ("MODIFIER LETTER GRAVE ACCENT", r"\textasciigrave{}"),
    ("MODIFIER LETTER LOW TILDE", r"\texttildelow{}"),
    # Text companion symbols the mapping files leave out.
    ("INVERTED INTERROBANG", r"\textinterrobangdown{}"),
    ("GUARANI SIGN", r"\textguarani{}"),
    ("MATHEMATICAL LEFT WHITE SQUARE BRACKET", r"\textlbrackdbl{}"),
    ("MATHEMATICAL RIGHT WHITE SQUARE BRACKET", r"\textrbrackdbl{}"),
    ("LEFT SQUARE BRACKET WITH QUILL", r"\textlquill{}"),
    ("RIGHT SQUARE BRACKET WITH QUILL", r"\textrquill{}"),
    ("COPYLEFT SYMBOL", r"\textcopyleft{}"),
    ("MARRIAGE SYMBOL", r"\textmarried{}"),
    ("DIVORCE SYMBOL", r"\textdivorced{}"),
    # Drawn as the character would be seen.
    ("REPLACEMENT CHARACTER", r"\textcircled{?}"),
]

# Characters written as math symbols of LaTeX or amssymb, through
# \ensuremath so that they work in text and in math alike.
OUR_MATH = [
    # Letterlike.
    ("PLANCK CONSTANT", "h"),
    ("PLANCK CONSTANT OVER TWO PI", r"\hbar"),
    ("BLACK-LETTER CAPITAL I", r"\Im"),
    ("BLACK-LETTER CAPITAL R", r"\Re"),
    ("SCRIPT SMALL L", r"\ell"),
    ("SCRIPT CAPITAL P", r"\wp"),
    ("TURNED CAPITAL F", r"\Finv"),
    ("ALEF SYMBOL", r"\aleph"),
    ("BET SYMBOL", r"\beth"),
    ("GIMEL SYMBOL", r"\gimel"),
    ("DALET SYMBOL", r"\daleth"),
    ("TURNED SANS-SERIF CAPITAL G", r"\Game"),
    # Arrows.
    ("LEFT RIGHT ARROW", r"\leftrightarrow"),
    ("UP DOWN ARROW", r"\updownarrow"),
    ("NORTH WEST ARROW", r"\nwarrow"),
    ("NORTH EAST ARROW", r"\nearrow"),
    ("SOUTH EAST ARROW", r"\searrow"),
    ("SOUTH WEST ARROW", r"\swarrow"),
    ("LEFTWARDS ARROW WITH STROKE", r"\nleftarrow"),
    ("RIGHTWARDS ARROW WITH STROKE", r"\nrightarrow"),
    ("LEFTWARDS TWO HEADED ARROW", r"\twoheadleftarrow"),
    ("RIGHTWARDS TWO HEADED ARROW", r"\twoheadrightarrow"),
    ("LEFTWARDS ARROW WITH TAIL", r"\leftarrowtail"),
    ("RIGHTWARDS ARROW WITH TAIL", r"\rightarrowtail"),
    ("RIGHTWARDS ARROW FROM BAR", r"\mapsto"),
    ("LEFTWARDS ARROW WITH HOOK", r"\hookleftarrow"),
    ("RIGHTWARDS ARROW WITH HOOK", r"\hookrightarrow"),
    ("LEFTWARDS ARROW WITH LOOP", r"\looparrowleft"),
    ("RIGHTWARDS ARROW WITH LOOP", r"\looparrowright"),
    ("LEFT RIGHT WAVE ARROW", r"\leftrightsquigarrow"),
    ("LEFT RIGHT ARROW WITH STROKE", r"\nleftrightarrow"),
    ("UPWARDS ARROW WITH TIP LEFTWARDS", r"\Lsh"),
    ("UPWARDS ARROW WITH TIP RIGHTWARDS", r"\Rsh"),
    ("ANTICLOCKWISE TOP SEMICIRCLE ARROW", r"\curvearrowleft"),
    ("CLOCKWISE TOP SEMICIRCLE ARROW", r"\curvearrowright"),
    ("ANTICLOCKWISE OPEN CIRCLE ARROW", r"\circlearrowleft"),
    ("CLOCKWISE OPEN CIRCLE ARROW", r"\circlearrowright"),
    ("LEFTWARDS HARPOON WITH BARB UPWARDS", r"\leftharpoonup"),
    ("LEFTWARDS HARPOON WITH BARB DOWNWARDS", r"\leftharpoondown"),
    ("UPWARDS HARPOON WITH BARB RIGHTWARDS", r"\upharpoonright"),
    ("UPWARDS HARPOON WITH BARB LEFTWARDS", r"\upharpoonleft"),
    ("RIGHTWARDS HARPOON WITH BARB UPWARDS", r"\rightharpoonup"),
    ("RIGHTWARDS HARPOON WITH BARB DOWNWARDS", r"\rightharpoondown"),
    ("DOWNWARDS HARPOON WITH BARB RIGHTWARDS", r"\downharpoonright"),
    ("DOWNWARDS HARPOON WITH BARB LEFTWARDS", r"\downharpoonleft"),
    ("RIGHTWARDS ARROW OVER LEFTWARDS ARROW", r"\rightleftarrows"),
    ("LEFTWARDS ARROW OVER RIGHTWARDS ARROW", r"\leftrightarrows"),
    ("LEFTWARDS PAIRED ARROWS", r"\leftleftarrows"),
    ("UPWARDS PAIRED ARROWS", r"\upuparrows"),
    ("RIGHTWARDS PAIRED ARROWS", r"\rightrightarrows"),
    ("DOWNWARDS PAIRED ARROWS", r"\downdownarrows"),
    ("LEFTWARDS HARPOON OVER RIGHTWARDS HARPOON", r"\leftrightharpoons"),
    ("RIGHTWARDS HARPOON OVER LEFTWARDS HARPOON", r"\rightleftharpoons"),
    ("LEFTWARDS DOUBLE ARROW WITH STROKE", r"\nLeftarrow"),
    ("LEFT RIGHT DOUBLE ARROW WITH STROKE", r"\nLeftrightarrow"),
    ("RIGHTWARDS DOUBLE ARROW WITH STROKE", r"\nRightarrow"),
    ("LEFTWARDS DOUBLE ARROW", r"\Leftarrow"),
    ("UPWARDS DOUBLE ARROW", r"\Uparrow"),
    ("RIGHTWARDS DOUBLE ARROW", r"\Rightarrow"),
    ("DOWNWARDS DOUBLE ARROW", r"\Downarrow"),
    ("LEFT RIGHT DOUBLE ARROW", r"\Leftrightarrow"),
    ("UP DOWN DOUBLE ARROW", r"\Updownarrow"),
    ("LEFTWARDS TRIPLE ARROW", r"\Lleftarrow"),
    ("RIGHTWARDS TRIPLE ARROW", r"\Rrightarrow"),
    ("RIGHTWARDS SQUIGGLE ARROW", r"\rightsquigarrow"),
    ("LEFTWARDS DASHED ARROW", r"\dashleftarrow"),
    ("RIGHTWARDS DASHED ARROW", r"\dashrightarrow"),
    ("LONG LEFTWARDS ARROW", r"\longleftarrow"),
    ("LONG RIGHTWARDS ARROW", r"\longrightarrow"),
    ("LONG LEFT RIGHT ARROW", r"\longleftrightarrow"),
    ("LONG LEFTWARDS DOUBLE ARROW", r"\Longleftarrow"),
    ("LONG RIGHTWARDS DOUBLE ARROW", r"\Longrightarrow"),
    ("LONG LEFT RIGHT DOUBLE ARROW", r"\Longleftrightarrow"),
    ("LONG RIGHTWARDS ARROW FROM BAR", r"\longmapsto"),
    # Mathematical operators.
    ("FOR ALL", r"\forall"),
    ("COMPLEMENT", r"\complement"),
    ("PARTIAL DIFFERENTIAL", r"\partial"),
    ("THERE EXISTS", r"\exists"),
    ("THERE DOES NOT EXIST", r"\nexists"),
    ("EMPTY SET", r"\varnothing"),
    ("INCREMENT", r"\Delta"),
    ("NABLA", r"\nabla"),
    ("ELEMENT OF", r"\in"),
    ("NOT AN ELEMENT OF", r"\notin"),
    ("CONTAINS AS MEMBER", r"\ni"),
    ("DOES NOT CONTAIN AS MEMBER", r"\not\ni"),
    ("END OF PROOF", r"\blacksquare"),
    ("N-ARY PRODUCT", r"\prod"),
    ("N-ARY COPRODUCT", r"\coprod"),
    ("N-ARY SUMMATION", r"\sum"),
    ("MINUS-OR-PLUS SIGN", r"\mp"),
    ("DOT PLUS", r"\dotplus"),
    ("DIVISION SLASH", "/"),
    ("SET MINUS", r"\setminus"),
    ("ASTERISK OPERATOR", r"\ast"),
    ("RING OPERATOR", r"\circ"),
    ("BULLET OPERATOR", r"\bullet"),
    ("SQUARE ROOT", r"\surd"),
    ("PROPORTIONAL TO", r"\propto"),
    ("INFINITY", r"\infty"),
    ("ANGLE", r"\angle"),
    ("MEASURED ANGLE", r"\measuredangle"),
    ("SPHERICAL ANGLE", r"\sphericalangle"),
    ("DIVIDES", r"\mid"),
    ("DOES NOT DIVIDE", r"\nmid"),
    ("PARALLEL TO", r"\parallel"),
    ("NOT PARALLEL TO", r"\nparallel"),
    ("LOGICAL AND", r"\wedge"),
    ("LOGICAL OR", r"\vee"),
    ("INTERSECTION", r"\cap"),
    ("UNION", r"\cup"),
    ("INTEGRAL", r"\int"),
    ("CONTOUR INTEGRAL", r"\oint"),
    ("THEREFORE", r"\therefore"),
    ("BECAUSE", r"\because"),
    ("RATIO", ":"),
    ("PROPORTION", "::"),
    ("TILDE OPERATOR", r"\sim"),
    ("REVERSED TILDE", r"\backsim"),
    ("WREATH PRODUCT", r"\wr"),
    ("NOT TILDE", r"\nsim"),
    ("MINUS TILDE", r"\eqsim"),
    ("ASYMPTOTICALLY EQUAL TO", r"\simeq"),
    ("NOT ASYMPTOTICALLY EQUAL TO", r"\not\simeq"),
    ("APPROXIMATELY EQUAL TO", r"\cong"),
    ("NEITHER APPROXIMATELY NOR ACTUALLY EQUAL TO", r"\ncong"),
    ("ALMOST EQUAL TO", r"\approx"),
    ("NOT ALMOST EQUAL TO", r"\not\approx"),
    ("ALMOST EQUAL OR EQUAL TO", r"\approxeq"),
    ("EQUIVALENT TO", r"\asymp"),
    ("GEOMETRICALLY EQUIVALENT TO", r"\Bumpeq"),
    ("DIFFERENCE BETWEEN", r"\bumpeq"),
    ("APPROACHES THE LIMIT", r"\doteq"),
    ("GEOMETRICALLY EQUAL TO", r"\doteqdot"),
    ("APPROXIMATELY EQUAL TO OR THE IMAGE OF", r"\fallingdotseq"),
    ("IMAGE OF OR APPROXIMATELY EQUAL TO", r"\risingdotseq"),
    ("COLON EQUALS", r"\mathrel{:}="),
    ("RING IN EQUAL TO", r"\eqcirc"),
    ("RING EQUAL TO", r"\circeq"),
    ("DELTA EQUAL TO", r"\triangleq"),
    ("NOT EQUAL TO", r"\neq"),
    ("IDENTICAL TO", r"\equiv"),
    ("NOT IDENTICAL TO", r"\not\equiv"),
    ("LESS-THAN OR EQUAL TO", r"\leq"),
    ("GREATER-THAN OR EQUAL TO", r"\geq"),
    ("LESS-THAN OVER EQUAL TO", r"\leqq"),
    ("GREATER-THAN OVER EQUAL TO", r"\geqq"),
    ("LESS-THAN BUT NOT EQUAL TO", r"\lneqq"),
    ("GREATER-THAN BUT NOT EQUAL TO", r"\gneqq"),
    ("MUCH LESS-THAN", r"\ll"),
    ("MUCH GREATER-THAN", r"\gg"),
    ("BETWEEN", r"\between"),
    ("NOT LESS-THAN", r"\nless"),
    ("NOT GREATER-THAN", r"\ngtr"),
    ("NEITHER LESS-THAN NOR EQUAL TO", r"\nleq"),
    ("NEITHER GREATER-THAN NOR EQUAL TO", r"\ngeq"),
    ("LESS-THAN OR EQUIVALENT TO", r"\lesssim"),
    ("GREATER-THAN OR EQUIVALENT TO", r"\gtrsim"),
    ("LESS-THAN OR GREATER-THAN", r"\lessgtr"),
    ("GREATER-THAN OR LESS-THAN", r"\gtrless"),
    ("PRECEDES", r"\prec"),
    ("SUCCEEDS", r"\succ"),
    ("PRECEDES OR EQUAL TO", r"\preccurlyeq"),
    ("SUCCEEDS OR EQUAL TO", r"\succcurlyeq"),
    ("PRECEDES OR EQUIVALENT TO", r"\precsim"),
    ("SUCCEEDS OR EQUIVALENT TO", r"\succsim"),
    ("DOES NOT PRECEDE", r"\nprec"),
    ("DOES NOT SUCCEED", r"\nsucc"),
    ("SUBSET OF", r"\subset"),
    ("SUPERSET OF", r"\supset"),
    ("NOT A SUBSET OF", r"\not\subset"),
    ("NOT A SUPERSET OF", r"\not\supset"),
    ("SUBSET OF OR EQUAL TO", r"\subseteq"),
    ("SUPERSET OF OR EQUAL TO", r"\supseteq"),
    ("NEITHER A SUBSET OF NOR EQUAL TO", r"\nsubseteq"),
    ("NEITHER A SUPERSET OF NOR EQUAL TO", r"\nsupseteq"),
    ("SUBSET OF WITH NOT EQUAL TO", r"\subsetneq"),
    ("SUPERSET OF WITH NOT EQUAL TO", r"\supsetneq"),
    ("MULTISET UNION", r"\uplus"),
    ("SQUARE IMAGE OF", r"\sqsubset"),
    ("SQUARE ORIGINAL OF", r"\sqsupset"),
    ("SQUARE IMAGE OF OR EQUAL TO", r"\sqsubseteq"),
    ("SQUARE ORIGINAL OF OR EQUAL TO", r"\sqsupseteq"),
    ("SQUARE CAP", r"\sqcap"),
    ("SQUARE CUP", r"\sqcup"),
    ("CIRCLED PLUS", r"\oplus"),
    ("CIRCLED MINUS", r"\ominus"),
    ("CIRCLED TIMES", r"\otimes"),
    ("CIRCLED DIVISION SLASH", r"\oslash"),
    ("CIRCLED DOT OPERATOR", r"\odot"),
    ("CIRCLED RING OPERATOR", r"\circledcirc"),
    ("CIRCLED ASTERISK OPERATOR", r"\circledast"),
    ("CIRCLED DASH", r"\circleddash"),
    ("SQUARED PLUS", r"\boxplus"),
    ("SQUARED MINUS", r"\boxminus"),
    ("SQUARED TIMES", r"\boxtimes"),
    ("SQUARED DOT OPERATOR", r"\boxdot"),
    ("RIGHT TACK", r"\vdash"),
    ("LEFT TACK", r"\dashv"),
    ("DOWN TACK", r"\top"),
    ("UP TACK", r"\perp"),
    ("MODELS", r"\models"),
    ("TRUE", r"\vDash"),
    ("FORCES", r"\Vdash"),
    ("TRIPLE VERTICAL BAR RIGHT TURNSTILE", r"\Vvdash"),
    ("DOES NOT PROVE", r"\nvdash"),
    ("NOT TRUE", r"\nvDash"),
    ("DOES NOT FORCE", r"\nVdash"),
    ("NEGATED DOUBLE VERTICAL BAR DOUBLE RIGHT TURNSTILE", r"\nVDash"),
    ("NORMAL SUBGROUP OF", r"\vartriangleleft"),
    ("CONTAINS AS NORMAL SUBGROUP", r"\vartriangleright"),
    ("NORMAL SUBGROUP OF OR EQUAL TO", r"\trianglelefteq"),
    ("CONTAINS AS NORMAL SUBGROUP OR EQUAL TO", r"\trianglerighteq"),
    ("MULTIMAP", r"\multimap"),
    ("INTERCALATE", r"\intercal"),
    ("XOR", r"\veebar"),
    ("NAND", r"\barwedge"),
    ("N-ARY LOGICAL AND", r"\bigwedge"),
    ("N-ARY LOGICAL OR", r"\bigvee"),
    ("N-ARY INTERSECTION", r"\bigcap"),
    ("N-ARY UNION", r"\bigcup"),
    ("DIAMOND OPERATOR", r"\diamond"),
    ("DOT OPERATOR", r"\cdot"),
    ("STAR OPERATOR", r"\star"),
    ("DIVISION TIMES", r"\divideontimes"),
    ("BOWTIE", r"\bowtie"),
    ("LEFT NORMAL FACTOR SEMIDIRECT PRODUCT", r"\ltimes"),
    ("RIGHT NORMAL FACTOR SEMIDIRECT PRODUCT", r"\rtimes"),
    ("LEFT SEMIDIRECT PRODUCT", r"\leftthreetimes"),
    ("RIGHT SEMIDIRECT PRODUCT", r"\rightthreetimes"),
    ("REVERSED TILDE EQUALS", r"\backsimeq"),
    ("CURLY LOGICAL OR", r"\curlyvee"),
    ("CURLY LOGICAL AND", r"\curlywedge"),
    ("DOUBLE SUBSET", r"\Subset"),
    ("DOUBLE SUPERSET", r"\Supset"),
    ("DOUBLE INTERSECTION", r"\Cap"),
    ("DOUBLE UNION", r"\Cup"),
    ("PITCHFORK", r"\pitchfork"),
    ("LESS-THAN WITH DOT", r"\lessdot"),
    ("GREATER-THAN WITH DOT", r"\gtrdot"),
    ("VERY MUCH LESS-THAN", r"\lll"),
    ("VERY MUCH GREATER-THAN", r"\ggg"),
    ("LESS-THAN EQUAL TO OR GREATER-THAN", r"\lesseqgtr"),
    ("GREATER-THAN EQUAL TO OR LESS-THAN", r"\gtreqless"),
    ("EQUAL TO OR PRECEDES", r"\curlyeqprec"),
    ("EQUAL TO OR SUCCEEDS", r"\curlyeqsucc"),
    ("DOES NOT PRECEDE OR EQUAL", r"\npreceq"),
    ("DOES NOT SUCCEED OR EQUAL", r"\nsucceq"),
    ("LESS-THAN BUT NOT EQUIVALENT TO", r"\lnsim"),
    ("GREATER-THAN BUT NOT EQUIVALENT TO", r"\gnsim"),
    ("PRECEDES BUT NOT EQUIVALENT TO", r"\precnsim"),
    ("SUCCEEDS BUT NOT EQUIVALENT TO", r"\succnsim"),
    ("NOT NORMAL SUBGROUP OF", r"\ntriangleleft"),
    ("DOES NOT CONTAIN AS NORMAL SUBGROUP", r"\ntriangleright"),
    ("NOT NORMAL SUBGROUP OF OR EQUAL TO", r"\ntrianglelefteq"),
    ("DOES NOT CONTAIN AS NORMAL SUBGROUP OR EQUAL", r"\ntrianglerighteq"),
    ("VERTICAL ELLIPSIS", r"\vdots"),
    ("MIDLINE HORIZONTAL ELLIPSIS", r"\cdots"),
    ("DOWN RIGHT DIAGONAL ELLIPSIS", r"\ddots"),
    ("LESS-THAN OR SLANTED EQUAL TO", r"\leqslant"),
    ("GREATER-THAN OR SLANTED EQUAL TO", r"\geqslant"),
    ("LESS-THAN OR APPROXIMATE", r"\lessapprox"),
    ("GREATER-THAN OR APPROXIMATE", r"\gtrapprox"),
    ("LESS-THAN AND SINGLE-LINE NOT EQUAL TO", r"\lneq"),
    ("GREATER-THAN AND SINGLE-LINE NOT EQUAL TO", r"\gneq"),
    ("LESS-THAN AND NOT APPROXIMATE", r"\lnapprox"),
    ("GREATER-THAN AND NOT APPROXIMATE", r"\gnapprox"),
    ("LESS-THAN ABOVE DOUBLE-LINE EQUAL ABOVE GREATER-THAN", r"\lesseqqgtr"),
    ("GREATER-THAN ABOVE DOUBLE-LINE EQUAL ABOVE LESS-THAN", r"\gtreqqless"),
    ("SLANTED EQUAL TO OR LESS-THAN", r"\eqslantless"),
    ("SLANTED EQUAL TO OR GREATER-THAN", r"\eqslantgtr"),
    ("PRECEDES ABOVE SINGLE-LINE EQUALS SIGN", r"\preceq"),
    ("SUCCEEDS ABOVE SINGLE-LINE EQUALS SIGN", r"\succeq"),
    ("PRECEDES ABOVE NOT EQUAL TO", r"\precneqq"),
    ("SUCCEEDS ABOVE NOT EQUAL TO", r"\succneqq"),
    ("PRECEDES ABOVE ALMOST EQUAL TO", r"\precapprox"),
    ("SUCCEEDS ABOVE ALMOST EQUAL TO", r"\succapprox"),
    ("PRECEDES ABOVE NOT ALMOST EQUAL TO", r"\precnapprox"),
    ("SUCCEEDS ABOVE NOT ALMOST EQUAL TO", r"\succnapprox"),
    ("SUBSET OF ABOVE EQUALS SIGN", r"\subseteqq"),
    ("SUPERSET OF ABOVE EQUALS SIGN", r"\supseteqq"),
    ("SUBSET OF ABOVE NOT EQUAL TO", r"\subsetneqq"),
    ("SUPERSET OF ABOVE NOT EQUAL TO", r"\supsetneqq"),
    ("N-ARY CIRCLED DOT OPERATOR", r"\bigodot"),
    ("N-ARY CIRCLED PLUS OPERATOR", r"\bigoplus"),
    ("N-ARY CIRCLED TIMES OPERATOR", r"\bigotimes"),
    ("N-ARY UNION OPERATOR WITH PLUS", r"\biguplus"),
    ("N-ARY SQUARE UNION OPERATOR", r"\bigsqcup"),
    ("AMALGAMATION OR COPRODUCT", r"\amalg"),
    ("LOGICAL AND WITH DOUBLE OVERBAR", r"\doublebarwedge"),
    ("VECTOR OR CROSS PRODUCT", r"\times"),
    ("PERPENDICULAR", r"\perp"),
    # Technical.
    ("LEFT CEILING", r"\lceil"),
    ("RIGHT CEILING", r"\rceil"),
    ("LEFT FLOOR", r"\lfloor"),
    ("RIGHT FLOOR", r"\rfloor"),
    ("TOP LEFT CORNER", r"\ulcorner"),
    ("TOP RIGHT CORNER", r"\urcorner"),
    ("BOTTOM LEFT CORNER", r"\llcorner"),
    ("BOTTOM RIGHT CORNER", r"\lrcorner"),
    ("FROWN", r"\frown"),
    ("SMILE", r"\smile"),
    # Geometric shapes and symbols.
    ("BLACK SQUARE", r"\blacksquare"),
    ("WHITE SQUARE", r"\square"),
    ("BLACK UP-POINTING TRIANGLE", r"\blacktriangle"),
    ("WHITE UP-POINTING TRIANGLE", r"\vartriangle"),
    ("BLACK RIGHT-POINTING TRIANGLE", r"\blacktriangleright"),
    ("WHITE RIGHT-POINTING TRIANGLE", r"\triangleright"),
    ("BLACK DOWN-POINTING TRIANGLE", r"\blacktriangledown"),
    ("WHITE DOWN-POINTING TRIANGLE", r"\triangledown"),
    ("BLACK LEFT-POINTING TRIANGLE", r"\blacktriangleleft"),
    ("WHITE LEFT-POINTING TRIANGLE", r"\triangleleft"),
    ("TRIANGULAR BULLET", r"\blacktriangleright"),
    ("LOZENGE", r"\lozenge"),
    ("BLACK LOZENGE", r"\blacklozenge"),
    ("WHITE DIAMOND", r"\Diamond"),
    ("BLACK STAR", r"\bigstar"),
    ("BLACK SPADE SUIT", r"\spadesuit"),
    ("WHITE HEART SUIT", r"\heartsuit"),
    ("WHITE DIAMOND SUIT", r"\diamondsuit"),
    ("BLACK CLUB SUIT", r"\clubsuit"),
    ("MUSIC FLAT SIGN", r"\flat"),
    ("MUSIC NATURAL SIGN", r"\natural"),
    ("MUSIC SHARP SIGN", r"\sharp"),
    ("CHECK MARK", r"\checkmark"),
    ("MALTESE CROSS", r"\maltese"),
]

# Greek letters in math. A small letter is a backslash and its name in
# lower case (Unicode spells lambda LAMDA), but for these, whose command of
# that name draws the other shape or does not exist.
GREEK_COMMANDS = {"EPSILON": r"\varepsilon", "PHI": r"\varphi",
                  "OMICRON": "o", "FINAL SIGMA": r"\varsigma"}
# The capitals math has commands for; the others look like Latin capitals
# and are written as those.
GREEK_CAPITAL_COMMANDS = {"GAMMA", "DELTA", "THETA", "LAMDA", "XI", "PI",
                          "SIGMA", "UPSILON", "PHI", "PSI", "OMEGA"}
GREEK_LATIN_CAPITALS = {"ALPHA": "A", "BETA": "B", "EPSILON": "E", "ZETA": "Z",
                        "ETA": "H", "IOTA": "I", "KAPPA": "K", "MU": "M",
                        "NU": "N", "OMICRON": "O", "RHO": "P", "TAU": "T",
                        "CHI": "X"}
GREEK_SYMBOLS = [
    ("GREEK THETA SYMBOL", r"\vartheta"),
    ("GREEK PHI SYMBOL", r"\phi"),
    ("GREEK PI SYMBOL", r"\varpi"),
    ("GREEK RHO SYMBOL", r"\varrho"),
    ("GREEK LUNATE EPSILON SYMBOL", r"\epsilon"),
    ("GREEK KAPPA SYMBOL", r"\varkappa"),
    ("GREEK SMALL LETTER DIGAMMA", r"\digamma"),
    ("GREEK REVERSED LUNATE EPSILON SYMBOL", r"\backepsilon"),
    ("GREEK UPSILON WITH HOOK SYMBOL", r"\Upsilon"),
]


def greek_letters():
    """[(code point, math LaTeX or None, text LaTeX or None)] for the basic
    Greek letters."""
    letters = []
    for cp in range(0x0391, 0x03CA):
        match = re.fullmatch(r"GREEK (CAPITAL|SMALL) LETTER (FINAL SIGMA|\S+)",
                             unicodedata.name(chr(cp), ""))
        if not match:
            continue
        case, letter = match.groups()
        command = "\\" + ("lambda" if letter == "LAMDA" else letter.lower())
        if case == "SMALL":
            letters.append((cp, GREEK_COMMANDS.get(letter, command), None))
        elif letter in GREEK_CAPITAL_COMMANDS:
            letters.append((cp, "\\" + command[1:].capitalize(), None))
        elif letter in GREEK_LATIN_CAPITALS:
            # A bare letter, so that accents can sit on it.
            letters.append((cp, None, GREEK_LATIN_CAPITALS[letter]))
    return letters


# --- Derived from Unicode's decompositions -----------------------------------

# Combining marks as text accents: the command and whether it sits below.
TEXT_ACCENTS = {
    0x0300: ("\\`", False), 0x0301: ("\\'", False), 0x0302: ("\\^", False),
    0x0303: ("\\~", False), 0x0304: ("\\=", False), 0x0306: ("\\u", False),
    0x0307: ("\\.", False), 0x0308: ('\\"', False), 0x030A: ("\\r", False),
    0x030B: ("\\H", False), 0x030C: ("\\v", False), 0x0323: ("\\d", True),
    0x0326: ("\\textcommabelow", True), 0x0327: ("\\c", True),
    0x0328: ("\\k", True), 0x0331: ("\\b", True),
}
# The same marks as math accents, for letters the table writes in math.
MATH_ACCENTS = {
    0x0300: "\\grave", 0x0301: "\\acute", 0x0302: "\\hat", 0x0303: "\\tilde",
    0x0304: "\\bar", 0x0306: "\\breve", 0x0307: "\\dot", 0x0308: "\\ddot",
    0x030A: "\\mathring", 0x030C: "\\check",
}
# Canonical combining class of marks above the letter.
ABOVE = 230

# ASCII as LaTeX text, for entries made of ASCII characters: T1 would make
# quotes of ` and ', and the rest are LaTeX's special characters.
ASCII_ESCAPES = {
    "#": r"\#", "$": r"\$", "%": r"\%", "&": r"\&", "_": r"\_", "{": r"\{",
    "}": r"\}", "~": r"\textasciitilde{}", "^": r"\textasciicircum{}",
    "\\": r"\textbackslash{}", "`": r"\textasciigrave{}",
    "'": r"\textquotesingle{}",
}

# Math alphabets by the style word of a <font> character's name; \mathcal and
# \mathbb have capitals only.
MATH_ALPHABETS = {
    "BOLD": (r"\mathbf", "Aa0"), "ITALIC": (r"\mathit", "Aa"),
    "SCRIPT": (r"\mathcal", "A"), "FRAKTUR": (r"\mathfrak", "Aa"),
    "BLACK-LETTER": (r"\mathfrak", "Aa"), "DOUBLE-STRUCK": (r"\mathbb", "A"),
    "SANS-SERIF": (r"\mathsf", "Aa0"), "MONOSPACE": (r"\mathtt", "Aa0"),
}


def char_kind(ch):
    """"A", "a" or "0" for an ASCII capital, small letter or digit."""
    if len(ch) != 1:
        return None
    if "A" <= ch <= "Z":
        return "A"
    if "a" <= ch <= "z":
        return "a"
    return "0" if "0" <= ch <= "9" else None


class Candidate:
    """One way to write a code point: `body` is the LaTeX (or the UTF-8 of
    the code point for pass-through); `base` is set for accent commands, the
    LaTeX of the letter that the accents must sit on."""

    def __init__(self, body, origin, base=None, math=None):
        self.body = body
        self.origin = origin
        self.base = base
        self.math = math  # the inside of \ensuremath{...}, for math accents

    def latex(self, cp):
        if self.origin == "pass-through" or self.body == "{}":
            return self.body
        return "\\texorpdfstring{%s}{%s}" % (self.body, chr(cp))


class Table:
    """The candidates of every code point, first choice first."""

    def __init__(self, declarations):
        self.declarations = declarations
        self.candidates = {}

    def add(self, cp, candidate):
        if cp < 0x80 or cp in SURROGATES:
            return
        existing = self.candidates.setdefault(cp, [])
        if all(c.body != candidate.body for c in existing):
            existing.append(candidate)

    def first(self, cp):
        found = self.candidates.get(cp)
        return found[0] if found else None

    def inline(self, cp):
        """LaTeX for `cp` inside another entry's LaTeX, or None."""
        ch = chr(cp)
        if cp < 0x80:
            if not ch.isprintable() or ch == " ":
                return None
            return ASCII_ESCAPES.get(ch, ch)
        command = self.declarations.get(cp)
        if command is not None and re.fullmatch(r"\\[A-Za-z]+", command):
            return command + "{}"  # so that no letter after it joins it
        first = self.first(cp)
        if first is None:
            return None
        return chr(cp) if first.origin == "pass-through" else first.body

    def accent_base(self, cp):
        """(LaTeX, is math) for a letter that accents go on, or None."""
        first = self.first(cp)
        if first is not None and first.math is not None:
            return first.math, True
        form = self.inline(cp)
        return (form, False) if form is not None else None


def add_ours(table):
    for name, latex in OUR_TEXT:
        table.add(ord(unicodedata.lookup(name)), Candidate(latex, "ours"))
    for cp, math, text in greek_letters():
        if math is not None:
            table.add(cp, Candidate(r"\ensuremath{%s}" % math, "ours",
                                    math=math))
        else:
            table.add(cp, Candidate(text, "ours"))
    for name, math in OUR_MATH + GREEK_SYMBOLS:
        table.add(ord(unicodedata.lookup(name)),
                  Candidate(r"\ensuremath{%s}" % math, "ours", math=math))
    for cp in list(range(0xFE00, 0xFE10)) + list(range(0xE0100, 0xE01F0)):
        # Variation selectors only choose among a character's glyphs.
        table.add(cp, Candidate("{}", "ours"))


def accented(table, cp):
    """Accent commands over a base the table can write, from the canonical
    decomposition: text accents over a text letter, math accents over a
    math one."""
    nfd = unicodedata.normalize("NFD", chr(cp))
    if len(nfd) < 2 or chr(cp) == nfd:
        return None
    base, marks = ord(nfd[0]), [ord(m) for m in nfd[1:]]
    found = table.accent_base(base)
    if found is None or unicodedata.combining(nfd[0]):
        return None
    letter, is_math = found
    above = [m for m in marks if unicodedata.combining(chr(m)) == ABOVE]
    below = [m for m in marks if unicodedata.combining(chr(m)) != ABOVE]
    if is_math:
        if below or any(m not in MATH_ACCENTS for m in above):
            return None
        math = letter
        for mark in above:
            math = "%s{%s}" % (MATH_ACCENTS[mark], math)
        return Candidate(r"\ensuremath{%s}" % math, "derived",
                         base=r"\ensuremath{%s}" % letter, math=math)
    if any(m not in TEXT_ACCENTS for m in marks):
        return None
    if above and letter in ("i", "j"):
        letter = "\\" + letter  # the dotless letter under an accent
    # Accents above go on first: an accent over a letter with a mark below
    # would not sit on it.
    latex = letter
    for mark in above + below:
        latex = "%s{%s}" % (TEXT_ACCENTS[mark][0], latex)
    return Candidate(latex, "derived", base=letter)


def grouped(latex):
    """`latex` kept apart from its neighbours: a letter stands alone (so that
    accents can sit on it), anything else goes in braces (so that no
    ligature or command forms across its edges)."""
    return latex if char_kind(latex) in ("A", "a") else "{%s}" % latex


def parts(table, hexes):
    """The inline LaTeX of each code point in a decomposition, or None."""
    forms = [table.inline(int(h, 16)) for h in hexes]
    return None if any(f is None for f in forms) else forms


def from_compatibility(table, cp):
    """A candidate from a compatibility (or singleton) decomposition."""
    fields = unicodedata.decomposition(chr(cp)).split()
    if not fields:
        return None
    tag = fields[0] if fields[0].startswith("<") else None
    hexes = fields[1:] if tag else fields
    if tag is None:
        if len(hexes) != 1:
            return None  # canonical pairs are accents: see accented()
        forms = parts(table, hexes)
        return Candidate(grouped(forms[0]), "derived") if forms else None
    if tag == "<compat>" and hexes[0] == "0020" and len(hexes) == 2:
        # A spacing accent: the accent over nothing.
        accent = TEXT_ACCENTS.get(int(hexes[1], 16))
        if accent and not accent[1]:
            return Candidate("%s{}" % accent[0], "derived")
        return None
    if "0020" in hexes:
        return None
    if tag == "<font>":
        return math_alphabet(cp, hexes)
    forms = parts(table, hexes)
    if forms is None:
        return None
    joined = "".join(forms)
    if tag in ("<compat>", "<wide>", "<narrow>", "<small>", "<noBreak>"):
        return Candidate(grouped(joined), "derived")
    if tag == "<super>":
        return Candidate(r"\textsuperscript{%s}" % joined, "derived")
    if tag == "<sub>":
        return Candidate(r"\textsubscript{%s}" % joined, "derived")
    if tag == "<fraction>" and len(hexes) == 3 and hexes[1] == "2044":
        return Candidate(r"\textsuperscript{%s}%s\textsubscript{%s}" % (
            forms[0], forms[1], forms[2]), "derived")
    if tag == "<fraction>" and len(hexes) == 2 and hexes[1] == "2044":
        return Candidate(r"\textsuperscript{%s}%s" % tuple(forms), "derived")
    if tag == "<circle>" and len(hexes) == 1 and char_kind(chr(int(
            hexes[0], 16))):
        return Candidate(r"\textcircled{%s}" % joined, "derived")
    return None


def math_alphabet(cp, hexes):
    """A letter or digit of a mathematical alphabet, from a <font>
    decomposition and the style its name gives."""
    if len(hexes) != 1:
        return None
    ch = chr(int(hexes[0], 16))
    name = unicodedata.name(chr(cp), "")
    match = re.fullmatch(r"(?:MATHEMATICAL )?(\S+) (?:CAPITAL|SMALL|DIGIT) .+",
                         name)
    if not match or match.group(1) not in MATH_ALPHABETS:
        return None
    command, kinds = MATH_ALPHABETS[match.group(1)]
    kind = char_kind(ch)
    if kind is None or kind not in kinds:
        return None
    math = "%s{%s}" % (command, ch)
    return Candidate(r"\ensuremath{%s}" % math, "derived")


# Box drawing: lines from the cell's middle to its edges, in the width of a
# digit of the current font (so that they line up with a monospace font's
# characters) and the height of a line (so that they meet the next line's).
CELL_WIDTH = r"\fontcharwd\font`0"
# Where horizontal lines run: half way up the line, as box drawing fonts
# draw them.
LINE_MIDDLE = r".2\baselineskip"
LINE_THICKNESS = {"LIGHT": 0.04, "HEAVY": 0.1}  # em
ARMS = {"LEFT": "l", "RIGHT": "r", "UP": "u", "DOWN": "d",
        "HORIZONTAL": "lr", "VERTICAL": "ud"}


def box_arm(arm, t):
    """A line of thickness `t` em from the cell's middle to one edge: "l",
    "r", "u" or "d"."""
    half = r"\dimexpr%s/2\relax" % CELL_WIDTH
    bottom = r"\dimexpr%s-%.3fem\relax" % (LINE_MIDDLE, t / 2)
    to_middle = r"\dimexpr%s/2-%.3fem\relax" % (CELL_WIDTH, t / 2)
    if arm == "l":
        return r"\rule[%s]{%s}{%.3fem}" % (bottom, half, t)
    if arm == "r":
        return r"\hspace{%s}\rule[%s]{%s}{%.3fem}" % (half, bottom, half, t)
    if arm == "u":
        return (r"\hspace{%s}\rule[%s]{%.3fem}"
                r"{\dimexpr\ht\strutbox-%s\relax}" % (to_middle, bottom, t,
                                                      bottom))
    return (r"\hspace{%s}\rule[-\dp\strutbox]{%.3fem}"
            r"{\dimexpr\dp\strutbox+%s+%.3fem\relax}" % (to_middle, t,
                                                        LINE_MIDDLE, t / 2))


def drawing(layers):
    """A box of the cell's width holding each layer from its left edge."""
    return r"\mbox{%s\hspace{%s}}" % ("".join(
        r"\makebox[0pt][l]{%s}" % layer for layer in layers), CELL_WIDTH)


def box_drawing(cp):
    """Light and heavy lines, straight or with rounded corners (drawn
    square), from the character's name."""
    name = unicodedata.name(chr(cp), "")
    match = re.fullmatch(r"BOX DRAWINGS (LIGHT|HEAVY) (?:ARC )?(.+)", name)
    if not match:
        return None
    words = match.group(2).split(" AND ")
    if any(word not in ARMS for word in words):
        return None  # dashed, diagonal or of mixed weight
    arms = sorted(set("".join(ARMS[word] for word in words)))
    t = LINE_THICKNESS[match.group(1)]
    return Candidate(drawing(box_arm(arm, t) for arm in arms), "derived")


# How much of the cell a block fills, in its name.
COUNTS = {"ONE": 1, "THREE": 3, "FIVE": 5, "SEVEN": 7}
PARTS = {"EIGHTH": 1, "QUARTER": 2}


def block_element(cp):
    """Blocks filling part of the cell from one edge."""
    name = unicodedata.name(chr(cp), "")
    match = re.fullmatch(r"(UPPER|LOWER|LEFT|RIGHT) (?:HALF|(\S+) "
                         r"(EIGHTH|QUARTER)S?) BLOCK", name)
    if name == "FULL BLOCK":
        side, eighths = "LOWER", 8
    elif not match:
        return None
    elif match.group(2) is None:
        side, eighths = match.group(1), 4
    elif match.group(2) in COUNTS:
        side = match.group(1)
        eighths = COUNTS[match.group(2)] * PARTS[match.group(3)]
    else:
        return None
    part = "%.3f" % (eighths / 8)
    line = r"\dimexpr\ht\strutbox+\dp\strutbox\relax"
    if side in ("LOWER", "UPPER"):
        raise_by = (r"-\dp\strutbox" if side == "LOWER" else
                    r"\dimexpr\ht\strutbox-%s%s\relax" % (part, line))
        layer = r"\rule[%s]{%s}{%s%s}" % (raise_by, CELL_WIDTH, part, line)
    else:
        width = r"\dimexpr%s%s\relax" % (part, CELL_WIDTH)
        skip = (r"\hspace{\dimexpr%s-%s%s\relax}" % (CELL_WIDTH, part,
                                                     CELL_WIDTH)
                if side == "RIGHT" else "")
        layer = r"%s\rule[-\dp\strutbox]{%s}{%s}" % (skip, width, line)
    return Candidate(drawing([layer]), "derived")


def add_derived(table):
    """Box drawing first, which halfwidth forms refer to; then derivations,
    which depend on each other's results (a fraction uses the fraction
    slash), until nothing new comes."""
    for cp in range(0x2500, 0x25A0):
        candidate = box_drawing(cp) or block_element(cp)
        if candidate is not None:
            table.add(cp, candidate)
    derivations = (accented, from_compatibility)
    while True:
        added = 0
        for cp in range(0x80, LAST_CODE_POINT + 1):
            if (cp in SURROGATES or cp in table.candidates
                    or not unicodedata.decomposition(chr(cp))):
                continue
            for derive in derivations:
                candidate = derive(table, cp)
                if candidate is not None:
                    table.add(cp, candidate)
                    added += 1
                    break
        if not added:
            break


def all_candidates(declarations):
    table = Table(declarations)
    for cp in sorted(declarations):
        table.add(cp, Candidate(chr(cp), "pass-through"))
    add_ours(table)
    add_derived(table)
    # Fallbacks where the pass-through or our choice may fail: the
    # derivations, tried after the first choices.
    for cp in sorted(table.candidates):
        for derive in (accented, from_compatibility):
            candidate = derive(table, cp)
            if candidate is not None:
                table.add(cp, candidate)
    return table.candidates


# --- Verification ------------------------------------------------------------

CHECK_MACROS = r"""\tracinglostchars=2
\newlength\twentrywidth
\newlength\twbasewidth
\newcommand\twaccentcheck[3]{%
  \settowidth\twentrywidth{#2}\settowidth\twbasewidth{#3}%
  \ifdim\twentrywidth=\twbasewidth\else
    \typeout{@@WIDTH #1 \the\twentrywidth\space for a letter of
      \the\twbasewidth}\fi}
"""


def marker(cp):
    return "@@ U+%04X" % cp


def test_document(items):
    """A document using each (code point, LaTeX, base) in every context."""
    lines = [PREAMBLE + CHECK_MACROS, r"\begin{document}", r"\tableofcontents"]
    for cp, latex, base in items:
        m = marker(cp)
        lines += [
            r"\typeout{%s}\addtocontents{toc}{\protect\typeout{%s}}%%" % (m, m),
            r"\section{x %s x}" % latex,
            r"%s x %sx x\textbf{%s}x \emph{%s} \textbf{\emph{%s}} "
            r"\texttt{x%sx} \href{https://example.org/}{%s}\footnote{%s x}."
            % ((latex,) * 8),
            r"\par\section*{%s}" % latex,
        ]
        if base is not None:
            lines.append(r"\twaccentcheck{U+%04X}{%s}{%s}" % (cp, latex, base))
    lines.append(r"\begin{longtable}{p{4cm}}")
    for cp, latex, _ in items:
        lines.append(r"\typeout{%s}%s x %s\\" % (marker(cp), latex, latex))
    lines += [r"\end{longtable}", r"\end{document}", ""]
    return "\n".join(lines)


EVENT = re.compile(
    r"^(?:@@ U\+(?P<marker>[0-9A-F]+)$"
    r"|@@WIDTH U\+(?P<width>[0-9A-F]+) (?P<widths>.*)$"
    r"|Missing character: There is no (?P<glyph>.+?) in font (?P<font>\S+?)!$"
    r"|! (?P<error>.*)$)", re.MULTILINE)


def read_log(log):
    """(failures {code point: reason}, the code point an error stopped at,
    whether an error came before any marker)."""
    failures = {}
    current = None
    for event in EVENT.finditer(log):
        if event.group("marker"):
            current = int(event.group("marker"), 16)
        elif event.group("width"):
            failures.setdefault(int(event.group("width"), 16),
                                "the accent does not sit on its letter (%s)"
                                % event.group("widths").strip())
        elif event.group("glyph") is not None:
            if current is not None:
                failures.setdefault(current, "font %s has no glyph for it"
                                    % event.group("font"))
            else:
                return failures, None, True
        else:
            return failures, current, current is None
    return failures, None, False


def compile_items(items):
    """Compiles the items; returns (failures, culprit of an error, unplaced
    error text)."""
    with tempfile.TemporaryDirectory() as directory:
        pathlib.Path(directory, "doc.tex").write_text(test_document(items),
                                                      encoding="utf-8")
        for _ in range(2):  # the second run reads the table of contents
            status, log = pdflatex(directory)
            failures, culprit, unplaced = read_log(log)
            if status != 0 or culprit is not None or unplaced:
                error = re.search(r"^! .*$", log, re.MULTILINE)
                reason = error.group(0) if error else "pdflatex failed"
                if unplaced or culprit is None:
                    return failures, None, reason
                failures[culprit] = reason
                return failures, culprit, None
    return failures, None, None


def fails_alone(item):
    """Whether one item fails in a document of its own."""
    failures, culprit, unplaced = compile_items([item])
    return bool(failures) or culprit is not None or unplaced is not None


def verify_batch(items):
    """{code point: reason} for the items that fail."""
    failed = {}
    pending = list(items)
    while pending:
        failures, culprit, unplaced = compile_items(pending)
        if culprit is None and unplaced is None:
            failed.update(failures)
            return failed
        if culprit is not None:
            # The error came after the culprit's marker; that it is the
            # culprit's own is checked, since some errors surface later
            # (at a page break, say).
            item = next(item for item in pending if item[0] == culprit)
            if fails_alone(item):
                failed[culprit] = failures[culprit]
                pending.remove(item)
                continue
            unplaced = failures[culprit]
        if len(pending) == 1:
            failed[pending[0][0]] = unplaced
            return failed
        # An error no marker places: halve until it is found.
        half = len(pending) // 2
        failed.update(verify_batch(pending[:half]))
        failed.update(verify_batch(pending[half:]))
        return failed
    return failed


def verify(items):
    batches = [items[i:i + BATCH_SIZE] for i in range(0, len(items),
                                                      BATCH_SIZE)]
    failed = {}
    with concurrent.futures.ThreadPoolExecutor(os.cpu_count() or 2) as pool:
        for result in pool.map(verify_batch, batches):
            failed.update(result)
    return failed


def choose(candidates):
    """Each code point's first candidate that compiles cleanly; and the
    rejected ones with their reasons."""
    chosen, rejected = {}, []
    position = {cp: 0 for cp in candidates}
    round_number = 0
    while position:
        round_number += 1
        items = []
        for cp in sorted(position):
            candidate = candidates[cp][position[cp]]
            items.append((cp, candidate.latex(cp), candidate.base))
        print("round %d: checking %d candidates" % (round_number, len(items)),
              file=sys.stderr)
        failed = verify(items)
        for cp in sorted(position):
            candidate = candidates[cp][position[cp]]
            if cp in failed:
                rejected.append((cp, candidate, failed[cp]))
                position[cp] += 1
                if position[cp] == len(candidates[cp]):
                    del position[cp]
            else:
                chosen[cp] = candidate
                del position[cp]
    return chosen, rejected


# --- Output ------------------------------------------------------------------


def c_string(text):
    """`text` as a C++ string literal of printable ASCII."""
    out = []
    previous_hex = False
    for byte in text.encode("utf-8"):
        ch = chr(byte)
        if 0x20 <= byte < 0x7F and ch not in '"\\':
            if previous_hex and ch in "0123456789abcdefABCDEF":
                out.append('" "')  # a hex escape would run on into it
            out.append(ch)
            previous_hex = False
        elif ch in '"\\':
            out.append("\\" + ch)
            previous_hex = False
        else:
            out.append("\\x%02X" % byte)
            previous_hex = True
    return '"' + "".join(out) + '"'


def check_self_delimiting(cp, latex):
    depth = 0
    for ch in re.sub(r"\\[{}\\]", "", latex):  # escaped braces do not count
        depth += {"{": 1, "}": -1}.get(ch, 0)
        assert depth >= 0, "U+%04X: unbalanced braces in %s" % (cp, latex)
    assert depth == 0, "U+%04X: unbalanced braces in %s" % (cp, latex)
    assert not re.search(r"\\[A-Za-z@]+$", latex), (
        "U+%04X: %s would swallow what follows" % (cp, latex))


def write_table(chosen, rejected, sources):
    pdftex = output_of(["pdflatex", "--version"]).splitlines()[0]
    about = ("Generated by html5/latex2e/make_char_table.py; do not edit, rerun the "
             "script. Sources: TeX Live's "
             + ", ".join("%s (%s)" % (p.name, file_version(p)) for p in sources)
             + "; Python's unicodedata (Unicode %s). Every entry checked with "
             % unicodedata.unidata_version + pdftex + ". Included by "
             "html5/latex2e/characters.cpp inside namespace tagweave::latex2e.")
    lines = ["// " + line for line in textwrap.wrap(about, 77)]
    lines += [
        "",
        "/// Every code point the LaTeX2e writer can typeset, in increasing"
        " order,",
        "/// with its LaTeX: its own UTF-8 where inputenc takes it as it is.",
        "inline constexpr character_entry character_table[] = {",
    ]
    for cp in sorted(chosen):
        latex = chosen[cp].latex(cp)
        check_self_delimiting(cp, latex)
        lines.append("    {0x%04X, %s},  // %s" % (
            cp, c_string(latex), unicodedata.name(chr(cp), "")))
    lines += ["};", ""]
    lines.append("// Candidates pdflatex rejected (a code point without an"
                 " entry has none left):")
    for cp, candidate, reason in sorted(rejected, key=lambda r: r[0]):
        origin = candidate.origin
        shown = "its UTF-8" if origin == "pass-through" else candidate.body
        reason = reason.encode("ascii", "backslashreplace").decode()
        lines.append("//   U+%04X %s: %s, %s" % (cp, origin, shown, reason))
    lines.append("")
    OUTPUT.write_text("\n".join(lines), encoding="ascii")


def main():
    sources = declaration_files()
    declarations = {}
    for path in sources:
        declarations.update(read_declarations(path))
    candidates = all_candidates(declarations)
    chosen, rejected = choose(candidates)
    for cp, candidate, reason in rejected:
        print("rejected U+%04X (%s) %s: %s" % (cp, candidate.origin,
                                             candidate.body, reason),
              file=sys.stderr)
    write_table(chosen, rejected, sources)
    direct = sum(1 for c in chosen.values() if c.origin == "pass-through")
    print("%d entries (%d pass through, %d commands), %d candidates rejected"
          % (len(chosen), direct, len(chosen) - direct, len(rejected)),
          file=sys.stderr)


if __name__ == "__main__":
    main()
