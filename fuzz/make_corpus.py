#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets into fuzz/corpus/<target>/.

Scene and palette seeds start with the selector byte of the number format
('0' the C locale, '1' a comma decimal point with "." grouping, '2' a comma
with a narrow no-break space for grouping). Run from anywhere; it replaces
the generated files and leaves nothing else.
"""
import pathlib
import shutil
import struct

ROOT = pathlib.Path(__file__).resolve().parent.parent
CORPUS = ROOT / "fuzz" / "corpus"

FERN = (ROOT / "assets" / "MORVA.TXT").read_text()
HEADER = "h 45 45 320 15 1 10 100 {n}\n"
AFFINE = "a 0.5 0.5 0 0 0.5 0 0\n"

SCENES = {
    "kinds_case": "H 45 45 320 15 1 10 100 2\nA 1 0.5 0 0 0.5 0 0\nh 45 45 320 15 1 10 100 1\na 1 0.5 0 0 0.5 0 0\n",
    "setseed_case": "h 45 45 320 15 1 10 100 1\na 1 0.5 0 0 0.5 0 0\n_SetSeed -77\n_SETSEED 2147483647\n",
    "d_before_header": "D \nh 45 45 320 15 1 10 100 1\na 1 0.5 0 0 0.5 0 0\n",
    "two_d": "h 45 45 320 15 1 10 100 1\na 1 0.5 0 0 0.5 0 0\nD\r\nD \n",
    "fraction_fields": "h 45.5 44.5 320 15 1 2.5 100 1\na 1 0.5 0 0 0.5 0 0\n",
    "lenient_reals": "h 45 45 320 15 1 10 100 3\na 0.5x 0.5 0 0 0.5 0 0\na -.25 1e-1 &H1F &o17 1D-2 . -\na 1 0.5 0 0 0.5 0.5 0\n",
    "double_spaces": "h 45  45 320 15 1 10 100 1\na 1 0.5 0 0 0.5 0 0\n",
    "no_final_lf": "h 45 45 320 15 1 10 100 1\na 1 0.5 0 0 0.5 0 0",
    "crlf": "h 45 45 320 15 1 10 100 1\r\na 1 0.5 0 0 0.5 0 0\r\nD\r\nS\r\n",
    "standard_speed": "h 45 45 320 15 1 10 100 2\na 0.3 0.5 0 0 0.5 0 0\na 0.7 0.5 0 0 0.5 0.5 0\nS \n",
    "huge_numbers": "h 2147483647 -2147483648 99999999999 1e308 255 2147483647 2 1\na 1e308 1e308 -1e308 1 1 1e309 0\n",
    "group_overflow": "h 45 45 320 15 1 65536 65536 1\na 1 0.5 0 0 0.5 0 0\nh 45 45 320 15 1 10 100 1\n",
    "weight_overflow": "h 45 45 320 15 1 10 100 2\na 2954000 1 0 0 1 0 0\na -2954000 1 0 0 1 0 0\n",
    "tiny_weight": "h 45 45 320 15 1 10 100 1\na 0.0006 0.5 0 0 0.5 0 0\n",
    "projective_zero_den": "h 100 100 320 240 1 10 100 2\np 1 1 0 0 0 0 0 0 1 0 0 0 0\np 1 0 1 1 1 -1 0 1 0 0 0 0 0\n",
    "diverging": "h 45 45 320 15 1 10 100 2\na 1 3 0 0 3 1 1\ns 1 1e10 0 0 0 0 0 0 0 1e10 0 0 0\nD \n",
    "nan_point": "h 45 45 320 15 1 10 100 1\ns 1 1e300 0 0 0 0 1 0 1 0 0 0 1\nD \n",
    "one_letter_lines_lf": "h 45 45 320 15 1 10 100 1\na 1 0.5 0 0 0.5 0 0\nD\nS\n",
    "short_line": "h 45 45 320 15 1 10 100 1\na 1 0.5 0 0 0.5 0\n",
    "comments": "# comment\nx\n\n;\n h 1\nh 45 45 320 15 1 10 100 1\na 1 0.5 0 0 0.5 0 0\n",
    "negative_scale_hires": "h -45 -45 320 400 1 10 100 1\na 1 0.5 0 0 0.5 0 0\nD \n",
    "zero_scale_hires": "h 0 45 320 15 1 10 100 1\na 1 0.5 0 0 0.5 0 0\nD \n",
    "empty": "",
}

PALETTES = {
    "broken_field": "JASC-PAL\n0100\n256\n0 0 0\n1 2 x\n",
    "out_of_range": "JASC-PAL\n0100\n256\n0 0 0\n256 0 0\n",
    "short_and_crlf": "JASC-PAL\r\n0100\r\n256\r\n1 2 3\r\n\r\n4 5\r\n7\r\n",
    "extra_fields": "JASC-PAL\n0100\n256\n1 2 3 4 5\n 1 2\n1  2\n1.0 2,5 3e0\n",
    "binary": bytes(range(256)) * 2,
}


def write(target, name, data):
    folder = CORPUS / target
    folder.mkdir(parents=True, exist_ok=True)
    if isinstance(data, str):
        data = data.encode()
    (folder / name).write_bytes(data)

# .ifs libraries: as published, with what people paste around them, and
# broken in the ways the parser names.
LIBRARIES = {
    "classic": "; tables\nfern {\n  0 0 0 .16 0 0 .01\n.85 .04 -.04 .85 0 1.6 .85\n.2 -.26 .23 .22 0 1.6 .07\n"
               "-.15 .28 .26 .24 0 .44 .07\n}\ntriangle {\n.5 0 0 .5 0 0 .33\n.5 0 0 .5 0 1 .33\n"
               ".5 0 0 .5 1 1 .34\n}\n",
    "split_lines": "Fern{ ; c\n0 0 0 .16\n0 0 .01 .85 .04 -.04 .85 0 1.6 .85}\r\nTwo {1e-1 +2 -0.3 4E2 0 0 1}\n",
    "no_probabilities": "dragon {\n0.824074 0.281482 -0.212346 0.864198 -1.882290 -0.110607\n"
                        "0.088272 0.520988 -0.463889 -0.377778 0.785360 8.095795\n}\nflat {\n0 0 0 0 0 0\n}\n",
    "three_d": "cube (3D) {\n.5 0 0 0 .5 0 0 0 .5 0 0 0 1\n}\nsq {\n.5 0 0 .5 0 0 1\n}\n",
    "thirds": "t {\n.5 0 0 .5 0 0 0.3333333333333333\n.5 0 0 .5 0 1 0.6666666666666666\n.5 0 0 .5 1 1 1e-9\n}\n",
    "unclosed": "a {\n.5 0 0 .5 0 0 .5\n",
    "word": "a {\n.5 0 0 .5 0 0 .5x\n}\n",
    "count": "a {\n.5 0 0 .5 0 0 .5\n.5 0 .5 1 0 .5\n}\n",
    "stray": "}\n{\na b {\n",
}


def main():
    if CORPUS.exists():
        shutil.rmtree(CORPUS)
    samples = {"assets": ROOT / "assets" / "MORVA.TXT"}
    for scene in sorted((ROOT / "scenes").glob("*/MORVA.TXT")):
        samples[scene.parent.name] = scene
    for name, path in samples.items():
        text = path.read_bytes()
        for target in ("fuzz_scene", "fuzz_render", "fuzz_lint"):
            write(target, "sample_" + name, b"0" + text)
        write("fuzz_scene", "sample_comma_" + name, b"1" + text.replace(b".", b","))

    for name, text in SCENES.items():
        for target in ("fuzz_scene", "fuzz_render", "fuzz_lint"):
            write(target, name, "0" + text)
    # What the checker warns about: prose and blanks before commands, tabs,
    # commas and letters in numbers, lone letters, counts and bands.
    write("fuzz_lint", "warnings", "1h 45.5 45 320 15 1 10 2,5 3\nSpeed\n hello\n_setseed12\nD\n"
          "a 0.01 0,5 0\t0 0 -O.5  0.5x\na 0.01 1 0 0 1 0 0\na 0.98 0 0 0 0 0 0\nall of it 1 2 3 4 5 6\n")
    write("fuzz_scene", "comma_grouping", "1h 4.500 45 320 15 1 10 1.000 1\na 1 0,5 0 0 0,5 0 0\n")
    write("fuzz_scene", "narrow_nbsp_grouping", "2h 1\u202f000 45 320 15 1 10 100 1\na 1 0.5 0 0 0.5 0 0\n")
    write("fuzz_scene", "too_many_transforms", "0" + HEADER.format(n=1025) + AFFINE * 1025)
    write("fuzz_render", "max_transforms", "0" + HEADER.format(n=1024) + "a 1 0.5 0 0 0.5 0 0\n" * 1024 + "D \n")
    # A quadratic map with terms left out whose point overflows to infinity
    # and then NaN: the formula as written must take over.
    write("fuzz_render", "quadratic_overflow", "0h 45 45 320 15 1 10 100 1\ns 1 1e300 0 0 0 0 1 0 1 0 0 0 1\nD \n")
    write("fuzz_scene", "long_line", "0" + "h 45 45 320 15 1 10 100 1 " + "9" * 4000 + "\na 1" + " 0" * 2000 + "\n")

    for name, text in LIBRARIES.items():
        write("fuzz_ifs", name, text)

    palette = (ROOT / "assets" / "MORVA.pal").read_bytes()
    write("fuzz_palette", "sample", b"0" + palette)
    write("fuzz_palette", "sample_comma", b"1" + palette)
    for name, text in PALETTES.items():
        write("fuzz_palette", name, (b"0" if isinstance(text, bytes) else "0") + text)

    numbers = ["12", "-2147483648", "2147483648", "+007", "2.5", "3.5", "-0.5", "1e3", "1E-2", "  42\t",
               "0.5x", "-.25", "1e-1", "&H1F", "&o777", "& h ff", "1D2", "1 2 3", "1e400", "-", ".", "",
               "99999999999999999999", "1.234,5", "4.294.967.296"]
    for i, text in enumerate(numbers):
        write("fuzz_numbers", "c_%02d" % i, "0" + text)
        write("fuzz_numbers", "comma_%02d" % i, "1" + text)
        write("fuzz_numbers", "byte_%02d" % i, b"\x80" + text.encode())
    for i, value in enumerate([0.5, 1.5, 2.5, -2.5, 2147483647.5, -2147483648.5, 2147483647.4, float("nan"), 1e300]):
        write("fuzz_numbers", "double_%02d" % i, b"0" + struct.pack("<d", value))

    texts = [b"Hello, world!", "Привет, мир".encode(), b"\xff\xfe\x80abc\xc3", b"\xe2\x82\xac 100", b"\x01\x02\t\n",
             "Группы: 128 из 1000 (12,8 %)".encode()]
    positions = [(0, 0, 0), (635, 470, 1), (-3, 478, 2), (600, -2, 3), (2147483640, 0, 4), (-2147483648, -6, 8)]
    for i, text in enumerate(texts):
        for j, (x, y, flags) in enumerate(positions):
            write("fuzz_text", "t%d_p%d" % (i, j), struct.pack("<iiB", x, y, flags) + text)


if __name__ == "__main__":
    main()
