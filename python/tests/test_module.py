"""The module computes what the command line computes: the same codes, figures,
recognition, views and errors, from files and from numpy arrays."""
import pathlib
import re
import threading
import warnings

import numpy as np
import pytest

import ormax
from conftest import BASE, SCENES, SOURCE, cli, cli_csv, colour_values, read_bmp, write_bmp24


def test_the_version_is_the_projects():
    text = (SOURCE / "CMakeLists.txt").read_text()
    assert ormax.__version__ == re.search(r"project\(\S+ VERSION (\S+)", text).group(1)


@pytest.mark.parametrize("scene", SCENES, ids=lambda p: p.name)
def test_codes_from_an_array_are_the_command_lines_code_files(scene, tmp_path):
    rows = cli_csv("codes", scene, "--level", 3, "--error", 0.05, "-o", tmp_path, "--jobs", 1)
    rgb = read_bmp(scene)
    # A padded, non-contiguous view and the colour values take the same path to the pixels.
    padded = np.full((rgb.shape[0] + 2, rgb.shape[1] + 3, 4), 7, np.uint8)
    padded[1:-1, 2:-1, :3] = rgb
    scenes = [ormax.Scene(rgb), ormax.Scene(padded[1:-1, 2:-1, :3]),
              ormax.Scene(colour_values(rgb)), ormax.Scene(np.asfortranarray(colour_values(rgb))),
              ormax.Scene.from_file(str(scene))]
    for s in scenes:
        regions = s.regions(level=3, error=0.05)
        assert len(regions) == len(rows) > 0
        for region, row in zip(regions, rows):
            assert region.code == pathlib.Path(row["file"]).read_bytes()
            assert (region.index, *region.bounds, region.pixels, region.depth, region.items) == tuple(
                int(row[k]) for k in ("region", "left", "top", "right", "bottom", "pixels",
                                      "depth", "items"))


def test_a_scene_from_an_array_is_the_scene_of_its_8_bit_file():
    for scene in SCENES:
        rgb = read_bmp(scene)
        from_file = ormax.Scene.from_file(str(scene)).colours()
        assert np.array_equal(ormax.Scene(rgb).colours(), from_file)
        assert np.array_equal(ormax.Scene(colour_values(rgb)).colours(), from_file)
        assert np.array_equal(ormax.Scene(rgb).view("scene"), rgb)


def test_reduce_colours_of_a_24_bit_picture_is_the_picture_its_file_gives(tmp_path):
    rng = np.random.default_rng(5)
    rgb = rng.integers(0, 256, (37, 53, 3), dtype=np.uint8)
    rgb[10:20, 5:40] = 255  # background, kept white
    rgb[0, 0] = (254, 255, 255)  # nearly white is a shape colour, reduced to white
    write_bmp24(tmp_path / "t.bmp", rgb)
    reduced = ormax.reduce_colours(rgb)
    from_file = ormax.Scene.from_file(str(tmp_path / "t.bmp"))
    assert np.array_equal(colour_values(reduced), from_file.colours())
    assert len(np.unique(colour_values(reduced))) <= 256
    # Reduced colours are the palette's, so reducing again changes nothing.
    assert np.array_equal(ormax.reduce_colours(reduced), reduced)
    # The array is taken as it is: an unreduced scene keeps colours the file loses.
    assert not np.array_equal(ormax.Scene(rgb).colours(), from_file.colours())


def top_columns(k):
    return [f"top{k}_{f}" for f in ("shape", "entry", "distance", "sameness")]


@pytest.mark.parametrize("min_sameness", [None, 99.0])
def test_recognition_is_recognize_top_3(base, min_sameness):
    extra = [] if min_sameness is None else ["--min-sameness", min_sameness]
    rows = cli_csv("recognize", *SCENES, "--base", BASE, "--top", 3, *extra)
    kwargs = {} if min_sameness is None else {"min_sameness": min_sameness}
    got = []
    for scene in SCENES:
        for r in ormax.Scene.from_file(str(scene)).recognize(base, top=3, **kwargs):
            got.append((str(scene), r))
    assert len(got) == len(rows)
    labels = set()
    for (scene, r), row in zip(got, rows):
        assert row["scene"] == scene and int(row["region"]) == r.region.index
        assert (r.entry, r.shape, r.label) == (row["entry"], row["shape"], row["label"])
        assert r.distance == float(row["distance"]) and r.sameness == float(row["sameness"])
        assert (r.region.axes, r.region.angle) == (
            (float(row["axis_a"]), float(row["axis_b"])), float(row["angle"]))
        assert r.region.centre == (int(row["center_x"]), int(row["center_y"]))
        assert len(r.matches) == 3
        for k, m in enumerate(r.matches[1:], 2):
            shape, entry, distance, sameness = (row[c] for c in top_columns(k))
            assert (m.shape, m.entry) == (shape, entry)
            assert (m.distance, m.sameness) == (float(distance), float(sameness))
        labels.add(r.label)
    assert "unknown" in labels and len(labels) > 5  # both kinds of label were compared


def test_the_default_label_rule_is_the_command_lines_and_stays_reachable(base):
    assert "20 points" in ormax.LABEL_RULE and ormax.DEFAULT_MIN_SAMENESS is None
    scene = ormax.Scene.from_file(str(SCENES[0]))
    default = [r.label for r in scene.recognize(base)]
    assert [r.label for r in scene.recognize(base, min_sameness=ormax.DEFAULT_MIN_SAMENESS)] == default
    assert all(r.label != "unknown" for r in scene.recognize(base, min_sameness=0))


def test_recognition_csv_is_the_command_lines_text(base):
    scene = SCENES[2]
    text = cli("recognize", scene, "--base", BASE, "--top", 2, "--format", "csv")
    s = ormax.Scene(read_bmp(scene))
    assert s.recognition_csv(base, str(scene), top=2) == text
    body = s.recognition_csv(base, str(scene), top=2, header=False)
    assert text.endswith(body) and text.count("\n") == body.count("\n") + 1
    assert ormax.Scene(np.full((4, 4, 3), 255, np.uint8)).recognition_csv(base, "white") == ""


def test_the_table_holds_the_regions_columns():
    s = ormax.Scene.from_file(str(SCENES[0]))
    regions = s.regions(level=2)
    table = s.table(level=2)
    assert {len(c) for c in table.values()} == {len(regions)}
    assert table["pixels"].dtype == np.int64 and table["angle"].dtype == np.float64
    for i, r in enumerate(regions):
        assert (table["left"][i], table["top"][i], table["right"][i], table["bottom"][i]) == r.bounds
        assert (table["axis_a"][i], table["axis_b"][i], table["angle"][i]) == (*r.axes, r.angle)
        assert (table["region"][i], table["depth"][i], table["items"][i]) == (r.index, r.depth, r.items)


@pytest.mark.parametrize("view,options,kwargs", [
    ("quadro", ["--level", 3], {}),
    ("segmentation", ["--level", 3], {}),
    ("representation", ["--level", 3, "--outline", "--max-view-level", 2],
     {"fill": False, "max_view_level": 2}),
    ("recognition", ["--base", BASE, "--sameness"], {"sameness": True}),
])
def test_views_are_the_pictures_of_ormax_cli_view(base, tmp_path, view, options, kwargs):
    scene = SCENES[1]
    cli("view", scene, "--view", view, *options, "-o", tmp_path / "v.bmp")
    s = ormax.Scene.from_file(str(scene))
    if view == "recognition":
        s.recognize(base)
    else:
        s.regions(level=3)
    assert np.array_equal(s.view(view, **kwargs), read_bmp(tmp_path / "v.bmp"))


def test_base_build_is_ormax_cli_base(tmp_path):
    shapes = [str(SOURCE / "examples" / "shapes" / f"{n}.bmp") for n in ("cross", "ring", "ell")]
    cli("base", *shapes, "--turns", 3, "--level", 3, "-o", tmp_path / "b" / "base.txt")
    built = ormax.Base.build(shapes, turns=3, level=3)
    loaded = ormax.Base.load(str(tmp_path / "b" / "base.txt"))
    assert built.names == loaded.names and len(built) == 3 * 3 * 2
    assert (built.max_level, built.admissible_error) == (loaded.max_level, loaded.admissible_error)
    scene = ormax.Scene.from_file(str(SCENES[0]))
    again = ormax.Scene.from_file(str(SCENES[0]))
    for a, b in zip(scene.recognize(built, top=3), again.recognize(loaded, top=3)):
        assert [(m.entry, m.distance) for m in a.matches] == [(m.entry, m.distance) for m in b.matches]


def test_base_build_defaults_are_the_command_lines(tmp_path):
    shape = str(SOURCE / "examples" / "shapes" / "square.bmp")
    cli("base", shape, "-o", tmp_path / "base.txt")
    built = ormax.Base.build([shape])
    loaded = ormax.Base.load(str(tmp_path / "base.txt"))
    assert built.names == loaded.names and built.max_level == loaded.max_level
    assert any(n.endswith("x0.7") for n in built.names)


def test_drawings_of_one_shape_are_one_shape_as_on_the_command_line(tmp_path):
    square = str(SOURCE / "examples" / "shapes" / "square.bmp")
    ring = str(SOURCE / "examples" / "shapes" / "ring.bmp")
    for folder in ("a", "b"):
        (tmp_path / folder).mkdir()
    (tmp_path / "a" / "x.bmp").write_bytes(open(square, "rb").read())
    (tmp_path / "b" / "x.bmp").write_bytes(open(ring, "rb").read())
    pictures = [str(tmp_path / "a" / "x.bmp"), str(tmp_path / "b" / "x.bmp")]
    built = ormax.Base.build(pictures, turns=1, shapes=["square", "ring"])
    assert built.names == ["square_x", "ring_x"] and built.shapes == ["square", "ring"]
    truth = tmp_path / "truth.csv"
    truth.write_text(f"{pictures[0]},square\n{pictures[1]},ring\n")
    cli("base", *pictures, "--turns", 1, "--truth", truth, "-o", tmp_path / "base.txt")
    assert ormax.Base.load(str(tmp_path / "base.txt")).names == built.names
    same = ormax.Base.build(pictures, turns=1)  # one name twice: two entries of shape x
    assert same.names == ["x", "x_2"] and same.shapes == ["x", "x"]
    scene = ormax.Scene.from_file(ring)
    assert [r.label for r in scene.recognize(built)] == ["ring"]
    with pytest.raises(ormax.Error, match="one shape per picture"):
        ormax.Base.build(pictures, shapes=["ring"])


def test_base_build_refuses_what_the_command_line_refuses():
    scene = str(SCENES[0])  # many regions: no base picture
    with pytest.raises(ormax.Error, match=r"regions.*a base picture needs exactly one"):
        ormax.Base.build([scene], turns=1)
    shape = str(SOURCE / "examples" / "shapes" / "star.bmp")
    assert len(ormax.Base.build([scene, shape], turns=1, skip_bad=True)) == 1
    with pytest.raises(ormax.Error):
        ormax.Base.build([shape], turns=0)


def test_method_settings_out_of_range_are_refused_as_the_command_line_refuses_them():
    scene = ormax.Scene.from_file(str(SCENES[0]))
    shape = str(SOURCE / "examples" / "shapes" / "star.bmp")
    for level in (-1, 31):
        message = "level takes a whole number from 0 to 30, not '" + str(level) + "'"
        for call in (lambda: scene.regions(level=level), lambda: scene.table(level=level),
                     lambda: ormax.Base.build([shape], turns=1, level=level)):
            with pytest.raises(ormax.Error, match=re.escape(message)):
                call()
    for error in (float("nan"), float("inf"), -float("inf")):
        for call in (lambda: scene.regions(error=error), lambda: scene.table(error=error),
                     lambda: ormax.Base.build([shape], turns=1, error=error)):
            with pytest.raises(ormax.Error, match="error takes a number, not '-?(nan|inf)'"):
                call()
    # The ends of the range are taken.
    assert ormax.Scene(np.full((5, 5), 0xFFFFFF, np.uint32)).regions(level=30) == []
    assert len(scene.regions(level=0)) > 0
    assert ormax.Base.build([shape], turns=1, level=0).max_level == 0


HOSTILE = SOURCE / "tests" / "fuzz" / "corpus"


@pytest.mark.parametrize("picture", sorted((HOSTILE / "Bmp").iterdir()), ids=lambda p: p.name)
def test_hostile_pictures_raise_ormax_error_or_load(picture):
    try:
        scene = ormax.Scene.from_file(str(picture))
    except ormax.Error as e:
        assert e.file == str(picture) and e.reason and str(picture) in str(e)
        return
    scene.regions(level=2)  # what loads is analysed like any scene


def test_damaged_pictures_name_the_file_and_the_reason(tmp_path):
    for name in ("cut.bmp", "hugesize.bmp", "finding-slow-huge-height.bmp"):
        with pytest.raises(ormax.Error) as e:
            ormax.Scene.from_file(str(HOSTILE / "Bmp" / name))
        assert e.value.file == str(HOSTILE / "Bmp" / name) and e.value.reason
    with pytest.raises(ormax.Error) as e:
        ormax.Scene.from_file(str(tmp_path / "none.bmp"))
    assert e.value.file == str(tmp_path / "none.bmp")
    (tmp_path / "text.bmp").write_text("not a picture")
    with pytest.raises(ormax.Error, match="cannot read the picture"):
        ormax.Scene.from_file(str(tmp_path / "text.bmp"))
    assert issubclass(ormax.Error, ValueError)


def test_bad_bases_raise_ormax_error(tmp_path):
    for name in ("mismatch.txt", "missing.txt"):
        with pytest.raises(ormax.Error) as e:
            ormax.Base.load(str(HOSTILE / "BaseList" / name))
        assert e.value.file and e.value.reason
    for code in sorted((HOSTILE / "CodeFile").iterdir()):
        (tmp_path / code.name).write_bytes(code.read_bytes())
        (tmp_path / "one.txt").write_text(code.stem + "\n")
        try:
            base = ormax.Base.load(str(tmp_path / "one.txt"))
        except ormax.Error as e:
            assert e.file and e.reason
        else:
            assert len(base) == 1
    (tmp_path / "empty.txt").write_text("% nothing\n\n")
    with pytest.raises(ormax.Error, match="the base is empty"):
        ormax.Base.load(str(tmp_path / "empty.txt"))
    # A code file the list names: the list, the file and the reason.
    (tmp_path / "gone.txt").write_text("gone\n")
    with pytest.raises(ormax.Error) as e:
        ormax.Base.load(str(tmp_path / "gone.txt"))
    assert str(e.value).startswith(str(tmp_path / "gone.txt") + ": Cannot open file ")
    assert e.value.file == str(tmp_path / "gone.c") and e.value.reason in str(e.value)


def test_bad_arrays_and_arguments_raise_ormax_error(base):
    for bad in (np.zeros((4, 4, 3), np.float64), np.zeros((4, 4, 4), np.uint8),
                np.zeros((4, 4), np.int32), np.zeros((0, 4), np.uint32),
                np.zeros(5, np.uint8), np.zeros((8193, 1), np.uint32)):
        with pytest.raises(ormax.Error) as e:
            ormax.Scene(bad)
        assert e.value.file == "array" and e.value.reason
    with pytest.raises(ormax.Error):
        ormax.reduce_colours(np.zeros((3, 3), np.uint8))
    scene = ormax.Scene(np.full((5, 5), 0xFFFFFF, np.uint32))
    with pytest.raises(ormax.Error, match="view is scene"):
        scene.view("nothing")
    with pytest.raises(ormax.Error, match="regions"):
        scene.view("quadro")
    assert scene.regions() == []
    with pytest.raises(ormax.Error, match="recognize"):
        scene.view("recognition")
    with pytest.raises(ormax.Error):
        scene.recognize(base, top=0)
    # The level to view means what ormax-cli view --max-view-level means.
    for level in (-2, 31):
        with pytest.raises(ormax.Error, match=r"-1 \(the maximum tree level\).*not " + str(level)):
            scene.view("representation", max_view_level=level)


def test_threads_recognising_at_once_get_what_one_gets(base):
    scenes = [ormax.Scene.from_file(str(s)) for s in SCENES]
    alone = [[(r.entry, r.distance) for r in s.recognize(base, threads=1)] for s in scenes]
    again = [ormax.Scene.from_file(str(s)) for s in SCENES] * 2
    got = [None] * len(again)

    def work(i):
        got[i] = [(r.entry, r.distance) for r in again[i].recognize(base, threads=1)]

    threads = [threading.Thread(target=work, args=(i,)) for i in range(len(again))]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert got == alone * 2


def test_help_describes_every_class_and_function():
    for name in ("Scene", "Region", "Match", "Recognition", "Base", "Error", "reduce_colours"):
        assert getattr(ormax, name).__doc__
    for cls, names in ((ormax.Scene, ["from_file", "regions", "table", "recognize", "view",
                                      "colours", "recognition_csv"]),
                       (ormax.Base, ["load", "build"])):
        for n in names:
            assert getattr(cls, n).__doc__.count("\n") >= 1, n


def test_views_keep_stderr_quiet_without_a_runtime_folder():
    import os
    import subprocess
    import sys
    env = {k: v for k, v in os.environ.items() if k not in ("XDG_RUNTIME_DIR", "QT_QPA_PLATFORM")}
    done = subprocess.run([sys.executable, "-c", (
        "import ormax, sys; s = ormax.Scene.from_file(sys.argv[1]); s.regions(level=1);"
        "print(s.view('representation').shape)"), str(SCENES[0])],
        capture_output=True, text=True, env=env)
    assert done.returncode == 0 and done.stdout.strip() == "(320, 480, 3)"
    assert done.stderr == ""


def grey_paper():
    """Shapes on grey paper as a scan gives them: a black block and a red bar on 200."""
    picture = np.full((40, 60, 3), 200, np.uint8)
    picture[8:20, 6:18] = 0
    picture[24:32, 30:54] = (255, 0, 0)
    return picture


def test_the_background_found_in_the_picture_and_the_warning_of_one_that_is_not_white(tmp_path):
    with pytest.warns(UserWarning, match="covers 100 % of the picture.*background='auto'"):
        assert len(ormax.Scene(grey_paper()).regions(level=0)) == 1
    found = ormax.Scene(grey_paper(), background="auto")
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        regions = found.regions(level=0)
    assert sorted(r.pixels for r in regions) == [144, 192]
    assert found.colours()[0, 0] == 0xFFFFFF
    # A file reads the same way, and the command line agrees.
    write_bmp24(tmp_path / "scan.bmp", grey_paper())
    from_file = ormax.Scene.from_file(str(tmp_path / "scan.bmp"), background="auto", min_pixels=0)
    rows = cli_csv("codes", tmp_path / "scan.bmp", "-o", tmp_path, "--background", "auto",
                   "--min-pixels", "0")
    assert [r.pixels for r in from_file.regions(level=0)] == [int(r["pixels"]) for r in rows]


def test_specks_are_left_out_and_bad_readings_refused():
    picture = np.full((30, 30, 3), 255, np.uint8)
    picture[5:15, 5:15] = 0
    picture[25, 25] = 0
    assert len(ormax.Scene(picture).regions(level=0)) == 2
    assert len(ormax.Scene(picture, min_pixels=2).regions(level=0)) == 1
    assert len(ormax.Scene(picture, background="auto").regions(level=0)) == 1
    with pytest.raises(ValueError, match="background is 'white' or 'auto', not 'grey'"):
        ormax.Scene(picture, background="grey")
    with pytest.raises(ValueError, match="min_pixels"):
        ormax.Scene.from_file("x.bmp", min_pixels=-1)
