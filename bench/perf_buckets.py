#!/usr/bin/env python3
"""Where a telmo-report run spends its time, by stage, from a perf recording with call graphs:

    QT_QPA_PLATFORM=offscreen perf record -F 1000 --call-graph dwarf,16384 -o run.data \\
        build/app/telmo-report orders.csv --pdf orders.pdf
    python3 bench/perf_buckets.py run.data [samples-per-second]

Each sample counts for the first stage, in the order below, that appears on its stack (so time
in the PDF writer under a page's first drawing call is the PDF writer's, not the drawing's)."""
import collections
import subprocess
import sys

STAGES = [
    ("PDF: compress + write page", "PdfWriter::EndPage"),
    ("PDF: fonts, cross-references at the end", "PdfWriter::Finish"),
    ("PDF: page operators (text, lines)", "PdfPainter"),
    ("Qt PDF engine: deflate", "libz.so"),
    ("Qt PDF engine: text, lines", "QPdfEngine"),
    ("composing: grid picture", "GridControl::Picture"),
    ("composing: copying cells", "CopyGrid"),
    ("pagination", "Calculage"),
    ("measuring texts (fitted widths)", "TextMeasure"),
    ("filling the grid", "ReportGridBuilder"),
    ("reading the CSV", "ReadCsvFile"),
    ("window painting", "sendPaintEvent"),
    ("rest of the run", "RunReportCommand"),
]
OTHER = "start-up, libraries, exit"


def main():
    data = sys.argv[1]
    rate = float(sys.argv[2]) if len(sys.argv) > 2 else 1000.0
    script = subprocess.run(["perf", "script", "-i", data], capture_output=True, text=True).stdout
    counts = collections.Counter()
    total = 0
    for sample in script.split("\n\n"):
        if not sample.strip():
            continue
        total += 1
        counts[next((name for name, frame in STAGES if frame in sample), OTHER)] += 1
    print("| stage | CPU ms | share |\n|---|---|---|")
    for name in [name for name, _ in STAGES] + [OTHER]:
        if counts[name]:
            print(f"| {name} | {counts[name] * 1000 / rate:.0f} | {100 * counts[name] / total:.1f}% |")
    print(f"| all | {total * 1000 / rate:.0f} | 100% |")


if __name__ == "__main__":
    main()
