#!/usr/bin/env python3
"""Mutation check: how many small faults in the layout engine, the CSV reader, the command's
options and grid, the preview window and the PDF writer the test suites catch.

Each mutant is a fixed change at a place found by its text (the n-th occurrence of a pattern
in a named file), so that the list stays the same run after run and survives edits around
it. For each one the file is changed, the build directory is rebuilt incrementally, the
suites that can see the change run (cheapest first, each stopping at its first failure and
cut off after a timeout), and the file is restored. A mutant is killed when a suite fails,
crashes or times out; it survives when they all pass. A place that is no longer in the file
is told as "site missing", a change that no longer compiles as "no build"; neither counts.

    python3 scripts/mutate.py [--build build-mut] [--only ID,ID] [--timeout 300] [--list]

The build directory is configured on first use (RelWithDebInfo, ccache, and test programs
that are not relinked when only the shared library changed).
"""

import argparse
import os
import signal
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# Suites per folder, cheapest first: a mutant is run against these in turn.
SUITES = {
    "engine": ["pagination_test", "report_drawing_test", "layout_test", "print_status_test",
               "preview_window_test", "report_command_test"],
    "csv": ["csv_fuzz_replay", "report_command_test"],
    "app": ["report_command_test"],
    "preview": ["preview_window_test", "report_command_test"],
    "pdf": ["pdf_writer_test", "pdf_report_test", "printer_test", "item_model_grid_test",
            "report_output_test", "report_command_test"],
}

# Arguments of a suite program besides the test filter (the fuzz replay takes its corpus).
EXTRA_ARGS = {"csv_fuzz_replay": [os.path.join(ROOT, "tests/fuzz/corpus/csv")]}

# (id, file, text to find, which occurrence from 1, replacement, folder)
MUTANTS = [
    # engine/
    ("E01", "engine/Pagination.cpp", "c <= grid.cols - 1", 1, "c < grid.cols - 1", "engine"),
    ("E02", "engine/Pagination.cpp", "if (overflowCount > 5)", 1, "if (overflowCount > 4)", "engine"),
    ("E03", "engine/Pagination.cpp", "if (limit >= totalHeight)", 1, "if (limit > totalHeight)", "engine"),
    ("E04", "engine/Pagination.cpp", "std::floor(totalHeight / limit) + 1.0", 1,
     "std::floor(totalHeight / limit) + 2.0", "engine"),
    ("E05", "engine/Pagination.cpp", "kCellAllowance) < limit)", 1, "kCellAllowance) <= limit)", "engine"),
    ("E06", "engine/Pagination.cpp", "kCellAllowance) > limit)", 1, "kCellAllowance) >= limit)", "engine"),
    ("E07", "engine/Pagination.cpp", "r + 1.0f < lastRow", 1, "r + 1.0f <= lastRow", "engine"),
    ("E08", "engine/Pagination.cpp", "ResizePreserve(blocks, bandNo - 1);", 1,
     "ResizePreserve(blocks, bandNo);", "engine"),
    ("E09", "engine/GridSnapshot.cpp", "std::max(startRow, 1.0f)", 1, "std::max(startRow, 0.0f)", "engine"),
    ("E10", "engine/GridSnapshot.cpp", "ToLong(std::fabs(endCol - startCol)) + 2", 1,
     "ToLong(std::fabs(endCol - startCol)) + 1", "engine"),
    ("E11", "engine/GridSnapshot.cpp", "work.SetColAlignment(i, source.ColAlignment(col));", 1, ";", "engine"),
    ("E12", "engine/GridSnapshot.cpp", "work.SetRowHeight(i, source.RowHeight(row));", 1, ";", "engine"),
    ("E13", "engine/PageBody.cpp", "static_cast<float>(x), 1500)", 1, "static_cast<float>(x), 1501)", "engine"),
    ("E14", "engine/PageNumber.cpp", "scaleWidth - 1200", 1, "scaleWidth - 1201", "engine"),
    ("E15", "engine/PageNumber.cpp", "printer.SetFontBold(false);", 1, ";", "engine"),
    ("E16", "engine/PrintAllPages.cpp", "page <= last", 1, "page < last", "engine"),
    ("E17", "engine/PrintAllPages.cpp", "state.PrintCancelled = true;", 1, ";", "engine"),
    ("E18", "engine/TitleLine.cpp", "s.Title3Alignment, 750,", 1, "s.Title3Alignment, 751,", "engine"),
    ("E19", "engine/TitleLine.cpp", "std::min(right - surface.TextWidth(title2Message)", 1,
     "std::max(right - surface.TextWidth(title2Message)", "engine"),
    ("E20", "engine/TitleLine.cpp", "+ 800 +", 1, "+ 801 +", "engine"),
    ("E21", "engine/ReportHeader.cpp", "printer.CurrentX() - static_cast<float>(s.HeaderRightMargin)", 1,
     "printer.CurrentX() + static_cast<float>(s.HeaderRightMargin)", "engine"),
    ("E22", "engine/PrintDataSettings.cpp", "static_cast<float>(width) <= printer.ScaleWidth()", 1,
     "static_cast<float>(width) < printer.ScaleWidth()", "engine"),
    ("E23", "engine/PrintDataSettings.cpp", "grid.FixedRows() == 0 ? 0.0f : s.StartRowValue + 1", 1,
     "grid.FixedRows() == 0 ? 1.0f : s.StartRowValue + 1", "engine"),
    ("E24", "engine/PrintDataSettings.cpp", "SetMoveButtons(*window, false, true);", 1,
     "SetMoveButtons(*window, true, true);", "engine"),
    # the CSV reader: separator guess, decoding, record parser
    ("C01", "app/SeparatorGuess.cpp", "if (!whole && counts.size() <= kLinesLooked)", 1,
     "if (!whole && counts.size() < kLinesLooked)", "csv"),
    ("C02", "app/SeparatorGuess.cpp", "a.agreeing != b.agreeing ? a.agreeing > b.agreeing", 1,
     "a.agreeing != b.agreeing ? a.agreeing < b.agreeing", "csv"),
    ("C03", "app/CsvReader.cpp", "lead >= 0xC2 && lead <= 0xDF", 1, "lead >= 0xC0 && lead <= 0xDF", "csv"),
    ("C04", "app/CsvReader.cpp", "high = lead == 0xED ? 0x9F : 0xBF;", 1, "high = lead == 0xED ? 0xBF : 0xBF;",
     "csv"),
    ("C05", "app/CsvRecordParser.h", "field += u'\"';\n", 1, "\n", "csv"),
    ("C06", "app/CsvRecordParser.h", "++blanksWaiting_;", 1, "(void)0;", "csv"),
    ("C07", "app/CsvRecordParser.h", "line_ = lineEnd ? line + 1 : line;", 1, "line_ = lineEnd ? line + 2 : line;",
     "csv"),
    ("C08", "app/CsvReader.cpp", "LineError(fileName, lineEnds + 1,", 1, "LineError(fileName, lineEnds,", "csv"),
    ("C09", "app/CsvRecordParser.h", "if (atEnd && records_ == 0)", 1, "if (atEnd && records_ == 0 && false)", "csv"),
    ("C10", "app/CsvRecordParser.h", "if (data[i] == u'\\r' && i + 1 < n && data[i + 1] == u'\\n')\n", 1,
     "if (false)\n", "csv"),
    # the command's options, column picking and grid building
    ("A01", "app/ReportOptions.cpp", "value <= 0 || value > 500", 1, "value < 0 || value > 500", "app"),
    ("A02", "app/ReportOptions.cpp", "if (o.fitWidth && !o.grid.colWidths.empty())", 1,
     "if (false && !o.grid.colWidths.empty())", "app"),
    ("A03", "app/ReportOptions.cpp", "o.landscape = has(\"landscape\");", 1, "o.landscape = false;", "app"),
    ("A04", "app/ReportOptions.cpp", "return Printer::kPaperA5;", 1, "return Printer::kPaperA4;", "app"),
    ("A05", "app/ColumnPicker.cpp", "compare(want, Qt::CaseInsensitive)", 1, "compare(want, Qt::CaseSensitive)",
     "app"),
    ("A06", "app/ColumnPicker.cpp", "index = number - 1;", 1, "index = number;", "app"),
    ("A07", "app/ColumnPicker.cpp", "picked_[k] < maxFields_", 1, "picked_[k] <= maxFields_", "app"),
    ("A08", "app/ReportGrid.cpp", "if (field.size() > kLongestNumberChars)", 1,
     "if (field.size() >= kLongestNumberChars)", "app"),
    ("A09", "app/ReportGrid.cpp", "if (!ok && locale)", 1, "if (false)", "app"),
    ("A10", "app/ReportGrid.cpp", "r = std::max(0, fixedRows);", 1, "r = std::max(0, fixedRows - 1);", "app"),
    ("A11", "app/ReportGrid.cpp", "attempt >= 12", 1, "attempt >= 0", "app"),
    ("A12", "app/ReportGrid.cpp", "std::max(1, bodyRoom - heading - 1)", 1, "std::max(1, bodyRoom - 1)", "app"),
    ("A13", "app/ReportGrid.cpp", "if (options.wrap && rows > 0)", 1, "if (false)", "app"),
    ("A14", "app/ReportGrid.cpp", "std::min(widths[static_cast<size_t>(c)], caps.otherColumns)", 1,
     "widths[static_cast<size_t>(c)]", "app"),
    ("A15", "app/ReportCommand.cpp", "options.landscape ? QString() :", 1, "false ? QString() :", "app"),
    ("A16", "app/ReportCommand.cpp", "options.titles[0] = title;", 1, "(void)title;", "app"),
    # the preview window and its thumbnails
    ("V01", "preview/PreviewWindow.cpp", "if (step > percent) {", 1, "if (step >= percent) {", "preview"),
    ("V02", "preview/PreviewWindow.cpp", "wheelRest_ >= kNotch &&", 1, "wheelRest_ > kNotch &&", "preview"),
    ("V03", "preview/PreviewWindow.cpp", "pbBase->ScaleWidth() - 180 <= printer.ScaleWidth() * zoom", 1,
     "pbBase->ScaleWidth() - 180 < printer.ScaleWidth() * zoom", "preview"),
    ("V04", "preview/PreviewWindow.cpp", "HS->setPageStep(qRound(pbBase->ScaleWidth() / zoom));", 1,
     "HS->setPageStep(qRound(pbBase->ScaleWidth()));", "preview"),
    ("V05", "preview/PreviewWindow.cpp", "pbData->SetLeft((pbBase->ScaleWidth() - pbData->Width() - 60) / 2);", 1,
     "pbData->SetLeft((pbBase->ScaleWidth() - pbData->Width() + 60) / 2);", "preview"),
    ("V06", "preview/PreviewWindow.cpp", "GoToPage(std::min(txtPage->text().toInt(), static_cast<int>(State().TotalPages)));",
     1, "GoToPage(txtPage->text().toInt());", "preview"),
    ("V07", "preview/PreviewWindow.cpp", "pbData->SetLeft(60.0f - static_cast<float>", 1,
     "pbData->SetLeft(61.0f - static_cast<float>", "preview"),
    ("V08", "preview/PreviewWindow.cpp", "std::min((viewport - 300) / printable", 1,
     "std::min((viewport - 100) / printable", "preview"),
    ("V09", "preview/ThumbnailPanel.cpp", "std::min(pageCount_, (top + viewport()->height())", 1,
     "std::min(pageCount_ - 1, (top + viewport()->height())", "preview"),
    # platform/pdf/
    ("P01", "platform/pdf/PdfWriter.cpp", "written_ += n;", 1, "(void)n;", "pdf"),
    ("P02", "platform/pdf/PdfWriter.cpp", "while (fraction % 10 == 0)", 1, "while (fraction % 100 == 0)", "pdf"),
    ("P03", "platform/pdf/PdfWriter.cpp", "digits[(value >> 4) & 15]", 1, "digits[(value >> 5) & 15]", "pdf"),
    ("P04", "platform/pdf/PdfWriter.cpp", "offsets_[number] = written_;", 1, ";", "pdf"),
    ("P05", "platform/pdf/PdfWriter.cpp", "\"0.05 0 0 -0.05 \"", 1, "\"0.05 0 0 0.05 \"", "pdf"),
    ("P06", "platform/pdf/PdfPainter.cpp", "byte == '(' || byte == ')' || ", 1, "byte == '(' || ", "pdf"),
    ("P07", "platform/pdf/PdfPainter.cpp", "Num(lineStart_->y() - at.y())", 1, "Num(at.y() - lineStart_->y())",
     "pdf"),
    ("P08", "platform/pdf/PdfPainter.cpp", "Op(\"re f Q\\n\");", 1, "Op(\"re S Q\\n\");", "pdf"),
    ("P09", "platform/pdf/PdfFont.cpp", "found.size() == 1 ? found[0] : 0", 1,
     "found.size() == 2 ? found[0] : 0", "pdf"),
    ("P10", "platform/pdf/PdfFont.cpp", "character != 0 && characterOfGlyph_[glyph] == 0", 1,
     "character != 0", "pdf"),
    ("P11", "platform/pdf/PictureText.cpp", "u < 0x0590 ||", 1, "u < 0x0600 ||", "pdf"),
    ("P12", "platform/pdf/TrueTypeFont.cpp", "pending.push_back(component);", 1, ";", "pdf"),
    ("P13", "platform/pdf/TrueTypeFont.cpp", "head[50] = 0, head[51] = 1;", 1, "head[50] = 0, head[51] = 0;",
     "pdf"),
    # The subsetter and the text rules that came with it.
    ("P16", "platform/pdf/FontProgram.cpp", "        if (used[g])\n", 1, "        if (!used[g])\n", "pdf"),
    ("P17", "platform/pdf/FontProgram.cpp", "cidKeyed_ ? glyph : quint32(number)", 1, "glyph", "pdf"),
    ("P18", "platform/pdf/FontProgram.cpp", "if (kind_ == Outlines::TrueType) {", 1,
     "if (kind_ != Outlines::TrueType) {", "pdf"),
    ("P19", "platform/pdf/PictureText.cpp", "(u < 0x0590 && u != 0x00AD &&", 1, "(u < 0x0590 &&", "pdf"),
    ("P20", "platform/pdf/PictureText.cpp", "shown.remove(QChar(0x00AD));", 1, "(void)0;", "pdf"),
    ("P21", "platform/pdf/PdfFont.cpp", "(text.size() == 2 && text[0].isHighSurrogate()", 1,
     "(text.size() == 3 && text[0].isHighSurrogate()", "pdf"),
    ("P14", "platform/pdf/OutputFile.cpp", "    if (failed_) {\n        Discard();", 1, "    if (failed_) {\n",
     "pdf"),
    ("P15", "platform/pdf/OutputFile.cpp", "(void)::fchmod(fd, existing.st_mode & 07777);", 1, "(void)0;", "pdf"),
]


def log(text):
    print(text, flush=True)


def configure(build):
    if os.path.exists(os.path.join(build, "CMakeCache.txt")):
        return
    env = dict(os.environ, CCACHE_DIR=os.environ.get("CCACHE_DIR", "/work/.ccache"),
               CCACHE_BASEDIR=os.environ.get("CCACHE_BASEDIR", "/work"))
    subprocess.run(["cmake", "-S", ROOT, "-B", build, "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
                    "-DCMAKE_CXX_COMPILER_LAUNCHER=ccache", "-DTELMO_WERROR=ON",
                    "-DCMAKE_LINK_DEPENDS_NO_SHARED=ON"], check=True, env=env,
                   stdout=subprocess.DEVNULL)


def build_targets(build, targets):
    env = dict(os.environ, CCACHE_DIR=os.environ.get("CCACHE_DIR", "/work/.ccache"),
               CCACHE_BASEDIR=os.environ.get("CCACHE_BASEDIR", "/work"))
    cmd = ["cmake", "--build", build, "-j2", "--target", "telmopreview", *targets]
    return subprocess.run(cmd, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0


def find_program(build, suite):
    for sub in ("tests", "tests/fuzz"):
        path = os.path.join(build, sub, suite)
        if os.path.exists(path):
            return path
    return None


def default_signals():
    # Suites stop the command with Ctrl-C and SIGQUIT; a script started in the background by a
    # shell has both ignored, and its children would inherit that.
    for number in (signal.SIGINT, signal.SIGQUIT):
        signal.signal(number, signal.SIG_DFL)


def run_suite(build, suite, timeout, why=None):
    """True when the suite passes; otherwise the end of what it printed goes into why (a list)."""
    program = find_program(build, suite)
    if program is None:
        raise SystemExit(f"{suite}: not built in {build}")
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", TELMO_BATCH="1")
    args = [program, *EXTRA_ARGS.get(suite, [])]
    if not suite.endswith("_replay"):
        args.append("--gtest_fail_fast")
    try:
        done = subprocess.run(args, env=env, cwd=os.path.dirname(program), stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT, timeout=timeout, start_new_session=True,
                              preexec_fn=default_signals)
    except subprocess.TimeoutExpired:
        if why is not None:
            why.append(f"timed out after {timeout}s")
        return False
    if done.returncode != 0 and why is not None:
        why.append(done.stdout.decode(errors="replace")[-3000:])
    return done.returncode == 0


def mutate(text, find, occurrence, replacement):
    at = -1
    for _ in range(occurrence):
        at = text.find(find, at + 1)
        if at < 0:
            return None
    return text[:at] + replacement + text[at + len(find):]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default=os.path.join(ROOT, "build-mut"))
    parser.add_argument("--only", default="")
    parser.add_argument("--timeout", type=int, default=300, help="seconds per suite")
    parser.add_argument("--list", action="store_true")
    opts = parser.parse_args()
    opts.build = os.path.abspath(opts.build)
    chosen = [m for m in MUTANTS if not opts.only or m[0] in opts.only.split(",")]
    if opts.list:
        for m in chosen:
            log(f"{m[0]} {m[1]}: {m[2]!r} -> {m[4]!r}  [{' '.join(SUITES[m[5]])}]")
        return 0

    configure(opts.build)
    all_suites = sorted({s for m in chosen for s in SUITES[m[5]]})
    if not build_targets(opts.build, all_suites):
        raise SystemExit("the unchanged tree does not build")
    for suite in all_suites:
        t0 = time.time()
        # Suites that start processes and watch them can miss a moment on a loaded machine: a
        # suite must fail twice on the unchanged tree before the count is refused.
        why = []
        if not any(run_suite(opts.build, suite, opts.timeout, why) for _ in range(2)):
            log("\n".join(why))
            raise SystemExit(f"{suite} fails on the unchanged tree: fix it before counting mutants")
        log(f"unchanged: {suite} passes in {time.time() - t0:.0f}s")

    counts = {"killed": 0, "survived": 0, "site missing": 0, "no build": 0}
    survivors = []
    started = time.time()
    for mid, rel, find, occurrence, replacement, folder in chosen:
        path = os.path.join(ROOT, rel)
        original = None
        if os.path.exists(path):
            with open(path, encoding="utf-8") as f:
                original = f.read()
        # A file that is gone (the part rewritten elsewhere) is a site missing too.
        changed = None if original is None else mutate(original, find, occurrence, replacement)
        if changed is None:
            counts["site missing"] += 1
            log(f"{mid} site missing   {rel}: {find!r}")
            continue
        t0 = time.time()
        try:
            with open(path, "w", encoding="utf-8") as f:
                f.write(changed)
            if not build_targets(opts.build, SUITES[folder]):
                outcome, by = "no build", ""
            else:
                outcome, by = "survived", ""
                for suite in SUITES[folder]:
                    if not run_suite(opts.build, suite, opts.timeout):
                        outcome, by = "killed", suite
                        break
        finally:
            with open(path, "w", encoding="utf-8") as f:
                f.write(original)
        counts[outcome] += 1
        if outcome == "survived":
            survivors.append(mid)
        log(f"{mid} {outcome:<12} {by:<22} {time.time() - t0:5.0f}s  {rel}: {find.strip()!r}")

    # Leave the build matching the unchanged sources.
    build_targets(opts.build, all_suites)
    counted = counts["killed"] + counts["survived"]
    log(f"killed {counts['killed']} / {counted}, survived {counts['survived']}"
        f"{' (' + ' '.join(survivors) + ')' if survivors else ''}, site missing {counts['site missing']},"
        f" no build {counts['no build']}; {time.time() - started:.0f}s")
    return 0


if __name__ == "__main__":
    sys.exit(main())
