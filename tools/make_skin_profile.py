#!/usr/bin/env python3
"""Writes a skin.all whose [Settings] line is the given profile, scrambled.

Usage: make_skin_profile.py SKIN_FOLDER "Field=value,Field=value,..."
"""
import pathlib
import sys

folder = pathlib.Path(sys.argv[1])
profile = sys.argv[2]
if not profile.endswith(","):
    profile += ","
folder.mkdir(parents=True, exist_ok=True)
scrambled = bytes(b ^ 0xB3 for b in profile.encode("ascii"))
(folder / "skin.all").write_bytes(
    b"; Vidora to 3GP skin: a phone with a 320x240 screen\r\n[Settings]\r\n" + scrambled + b"\r\n")
