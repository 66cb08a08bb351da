#!/usr/bin/python3
# Delimited text as other programs write it, made with Python's csv module:
# a UTF-8 byte-order mark and CR LF line ends (spreadsheet "CSV UTF-8"), a
# name holding a line break and quotes, and UTF-16 text with its mark.
# Run from this folder with Debian's python3; the outputs are committed.
import csv

rows = [
    ["CD1", "CD1\\", "a.txt", "5", "2020-01-02 03:04:05"],
    ["CD1", "CD1\\docs\\", "two\nlines.txt", "7", "2021-05-06"],
    ["CD1", "CD1\\docs\\", 'say "hi", ok.txt', "3 000 000 000", ""],
    ["CD2", "CD2\\", "b.txt", "1", ""],
]

with open("bom_crlf.csv", "w", encoding="utf-8-sig", newline="") as f:
    csv.writer(f).writerows(rows)

with open("utf16.csv", "w", encoding="utf-16", newline="") as f:
    w = csv.writer(f, lineterminator="\n")
    w.writerow(["Диск", "Диск\\Музыка\\", "Привет.mp3", "12", ""])
    w.writerow(["Диск", "Диск\\", "日本語.txt", "34", ""])
    w.writerow(["Диск", "Диск\\", "emoji \U0001F600.txt", "56", ""])

with open("tabs.txt", "w", encoding="utf-8-sig", newline="") as f:
    csv.writer(f, dialect="excel-tab").writerows(rows)
