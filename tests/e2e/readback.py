#!/usr/bin/python3
# Reads an exported file back with readers that share nothing with the program: openpyxl for
# XLSX, Python's csv module for CSV. Prints one JSON object on standard output.
#   readback.py FILE.xlsx
#   readback.py --csv SEPARATOR FILE.csv
import csv
import datetime
import json
import sys


def xlsx(path):
    import openpyxl
    book = openpyxl.load_workbook(path)
    sheets = []
    for ws in book.worksheets:
        rows = []
        for row in ws.iter_rows():
            cells = []
            for c in row:
                v = c.value
                if v is None:
                    cells.append({"t": "e"})
                elif isinstance(v, bool):
                    cells.append({"t": "b", "v": v})
                elif isinstance(v, datetime.datetime):
                    cells.append({"t": "d", "v": v.isoformat(sep=" "), "f": c.number_format, "bold": bool(c.font.b)})
                elif isinstance(v, (int, float)):
                    cells.append({"t": "n", "v": float(v), "f": c.number_format, "bold": bool(c.font.b)})
                else:
                    cells.append({"t": "s", "v": str(v), "bold": bool(c.font.b)})
            rows.append(cells)
        widths = {}
        for key, dim in ws.column_dimensions.items():
            if dim.width:
                widths[key] = dim.width
        sheets.append({"name": ws.title, "frozen": ws.freeze_panes, "rows": rows, "widths": widths})
    props = book.properties
    return {"sheets": sheets, "title": props.title or ""}


def csvfile(separator, path):
    with open(path, newline="", encoding="utf-8-sig") as f:
        rows = list(csv.reader(f, delimiter=separator))
    return {"rows": rows}


def main(argv):
    if len(argv) == 4 and argv[1] == "--csv":
        result = csvfile(argv[2], argv[3])
    elif len(argv) == 2:
        result = xlsx(argv[1])
    else:
        print("usage: readback.py FILE.xlsx | --csv SEP FILE.csv", file=sys.stderr)
        return 2
    json.dump(result, sys.stdout, ensure_ascii=False)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
