#!/usr/bin/python3
"""vantry-measure --format text|csv|json carry the same numbers as the text output, with the inputs'
checksums and units; batch runs a jobs file in order, in parallel, refusing or skipping the jobs
it cannot run without stopping the others."""
import csv
import hashlib
import io
import json
import os
import subprocess
import sys
import tempfile
import unittest

import pydicom
from pydicom.dataset import Dataset, FileMetaDataset
from pydicom.uid import ExplicitVRLittleEndian

MEASURE = None
BIN = None


def run(*args, stdin=None):
    return subprocess.run([MEASURE, *args], capture_output=True, text=True, timeout=300, input=stdin)


def sample(name):
    return os.path.join(BIN, name)


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def text_lines(out):
    return out.rstrip("\n").split("\n")


def commands():
    """Each command of the README with its text, the files it reads and the columns its point
    lines or TAB table give."""
    edge, flat = sample("sample_edge.raw"), sample("sample_flat.raw")
    flats = [sample("sample_flat_%sugy.raw" % k) for k in ("2.5", "5", "10")]
    return {
        "read": (["read", edge, "--preset", "SAMPLE-EDGE-RAW"], [edge]),
        "roi": (["roi", edge, "--preset", "SAMPLE-EDGE-RAW", "--roi", "100,400,200,200",
                 "--back", "700,400,200,200"], [edge]),
        "mtf": (["mtf", edge, "--preset", "SAMPLE-EDGE-RAW", "--roi", "362,412,300,200"], [edge]),
        "precise": (["mtf", edge, "--preset", "SAMPLE-EDGE-RAW", "--roi", "362,412,300,200",
                     "--method", "precise"], [edge]),
        "nnps": (["nnps", flat, "--preset", "SAMPLE-FLAT-RAW", "--roi", "0,0,1024,1024"], [flat]),
        "dqe": (["dqe", "--edge", edge, "--edge-roi", "362,412,300,200", "--flat", flat,
                 "--flat-roi", "0,0,1024,1024", "--preset", "SAMPLE-FLAT-RAW", "--beam", "RQA5",
                 "--kerma", "21.6", "--nfmax", "5"], [edge, flat]),
        "iec": (["nnps", flats[0], "--method", "iec", "--preset", "SAMPLE-FLAT-RAW"], [flats[0]]),
        "convert": (["convert", "--preset", "SAMPLE-FLAT-RAW", "--roi", "256,256,512,512",
                     "--flat", flats[0], "--kerma", "2.5", "--flat", flats[1], "--kerma", "5",
                     "--flat", flats[2], "--kerma", "10"], flats),
    }


def csv_parts(out):
    meta, table = [], []
    for line in text_lines(out):
        if line.startswith("# "):
            key, _, value = line[2:].partition(": ")
            meta.append((key, value))
        else:
            table.append(line)
    return meta, list(csv.reader(io.StringIO("\n".join(table) + "\n")))


class Formats(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.outputs = {}
        for name, (args, files) in commands().items():
            outs = {f: run(*args, "--format", f) for f in ("text", "csv", "json")}
            cls.outputs[name] = (outs, files)

    def test_every_format_succeeds_and_text_is_the_default_output(self):
        for name, (args, _) in commands().items():
            outs, _ = self.outputs[name]
            for f, r in outs.items():
                self.assertEqual(r.returncode, 0, (name, f, r.stderr))
            self.assertEqual(run(*args).stdout, outs["text"].stdout, name)

    def test_json_figures_are_the_text_figures(self):
        for name, (outs, _) in self.outputs.items():
            doc = json.loads(outs["json"].stdout)
            figures = doc["figures"]
            self.assertTrue(figures or name == "dqe", name)
            lines = text_lines(outs["text"].stdout)
            for key, value in figures.items():
                match = [l for l in lines if l.startswith(key + " ")]
                if name == "roi" and not match:
                    continue  # the clipboard lines carry no names in the text
                self.assertTrue(match, (name, key))
                printed = match[0][len(key) + 1:]
                if isinstance(value, str):
                    self.assertEqual(value, printed, (name, key))
                else:
                    self.assertAlmostEqual(value, float(printed), places=12, msg=(name, key))

    def test_json_and_csv_curves_are_the_text_points_and_tables(self):
        for name, (outs, _) in self.outputs.items():
            doc = json.loads(outs["json"].stdout)
            lines = text_lines(outs["text"].stdout)
            points = [l.split()[1:] for l in lines if l.startswith("point ")]
            tab = [l.split("\t") for l in lines if "\t" in l and l.split("\t")[0][:1].isdigit()]
            if name in ("read", "roi"):
                self.assertEqual(doc["curves"], [])
                continue
            curve = doc["curves"][0]
            # The text's own rows: the point lines, else the TAB table of the clipboard.
            expected = points if name not in ("mtf", "dqe") else tab
            self.assertGreaterEqual(len(expected), 3, name)
            columns = [curve[c] for c in curve["columns"]]
            self.assertEqual(len(columns), len(expected[0]), name)
            for i, row in enumerate(expected):
                for c, cell in enumerate(row):
                    self.assertAlmostEqual(columns[c][i], float(cell), places=12, msg=(name, i, c))
            _, table = csv_parts(outs["csv"].stdout)
            self.assertEqual(table[0], curve["columns"], name)
            self.assertEqual(table[1:], expected, name)

    def test_inputs_carry_their_checksum_pitch_and_the_nyquist_frequency(self):
        for name, (outs, files) in self.outputs.items():
            doc = json.loads(outs["json"].stdout)
            self.assertEqual(sorted(i["file"] for i in doc["inputs"]), sorted(files), name)
            for i in doc["inputs"]:
                self.assertEqual(i["sha256"], sha256(i["file"]), name)
                self.assertEqual(i["pitch"], 0.1, name)
            self.assertAlmostEqual(doc["nyquist"], 5.0, places=9)
            self.assertEqual(doc["units"]["frequency"], "cycles/mm")
            meta = dict(csv_parts(outs["csv"].stdout)[0])
            self.assertEqual(meta["status"], "ok")
            self.assertEqual(meta["nyquist (cycles/mm)"], "5")
            for i in doc["inputs"]:
                self.assertEqual(meta[i["role"] + " sha256"], i["sha256"])

    def test_warnings_are_the_text_warning_lines(self):
        outs, _ = self.outputs["iec"]
        text = [l[len("warning "):] for l in text_lines(outs["text"].stdout) if l.startswith("warning ")]
        self.assertTrue(text, "the 1024 x 1024 flat field has too few pixels for a detector NNPS")
        self.assertEqual(json.loads(outs["json"].stdout)["warnings"], text)
        meta = csv_parts(outs["csv"].stdout)[0]
        self.assertEqual([v for k, v in meta if k == "warning"], text)

    def test_settings_name_what_the_curve_was_measured_with(self):
        outs, _ = self.outputs["mtf"]
        settings = json.loads(outs["json"].stdout)["settings"]
        self.assertEqual(settings["method"], "written")
        self.assertEqual(settings["roi"], "362,412,300,200")
        self.assertEqual((settings["binw"], settings["fmax"], settings["fint"]), (0.03, 3, 0.1))

    def test_a_refusal_prints_no_result_and_one_line_and_a_bad_format_is_a_usage_error(self):
        r = run("mtf", sample("sample_edge.raw"), "--preset", "SAMPLE-EDGE-RAW", "--roi",
                "10,10,300,200", "--format", "json")
        self.assertEqual(r.returncode, 3, r.stderr)
        self.assertEqual(r.stdout, "")
        self.assertEqual(len(r.stderr.strip().split("\n")), 1, r.stderr)
        r = run("read", sample("sample_edge.raw"), "--preset", "SAMPLE-EDGE-RAW", "--format", "xml")
        self.assertEqual(r.returncode, 2)
        self.assertIn("--format needs text, csv or json", r.stderr)


def write_dicom(path, sop_class):
    meta = FileMetaDataset()
    meta.MediaStorageSOPClassUID = sop_class
    meta.MediaStorageSOPInstanceUID = "1.2.3.4.5.6"
    meta.TransferSyntaxUID = ExplicitVRLittleEndian
    ds = Dataset()
    ds.file_meta = meta
    ds.SOPClassUID = sop_class
    ds.SOPInstanceUID = "1.2.3.4.5.6"
    ds.PatientName = "NOT^AN^IMAGE"
    ds.preamble = b"\0" * 128
    ds.is_little_endian, ds.is_implicit_VR = True, False
    ds.save_as(path, write_like_original=False)


class Batch(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp()
        cls.sr = os.path.join(cls.dir, "report.dcm")
        write_dicom(cls.sr, "1.2.840.10008.5.1.4.1.1.88.22")
        cls.ps = os.path.join(cls.dir, "state.dcm")
        write_dicom(cls.ps, "1.2.840.10008.5.1.4.1.1.11.1")
        cls.txt = os.path.join(cls.dir, "notes.txt")
        with open(cls.txt, "w") as f:
            f.write("edge at 3 degrees, 70 kV\n" * 50000)
        edge, flat = sample("sample_edge.raw"), sample("sample_flat.raw")
        cls.rows = [
            ("mtf", edge, "SAMPLE-EDGE-RAW", "362,412,300,200", "", "ok"),
            ("mtf", edge, "SAMPLE-EDGE-RAW", "10,10,300,200", "", "refused"),
            ("mtf", cls.sr, "DICOM", "0,0,200,200", "", "refused"),
            ("nnps", flat, "SAMPLE-FLAT-RAW", "0,0,1024,1024", "--nfmax 2.5", "ok"),
            ("read", cls.txt, "SAMPLE-EDGE-RAW", "", "", "refused"),
            ("read", sample("sample_edge_explicit.dcm"), "DICOM", "", "", "ok"),
            ("read", cls.ps, "DICOM", "", "", "refused"),
            ("mtf", edge, "SAMPLE-EDGE-RAW", "362,412,300,200", "--method precise --bogus", "refused"),
            ("mtf", edge, "SAMPLE-EDGE-RAW", "362,412,300,200", "--method precise --fint 0.05", "ok"),
            ("dqe", "", "SAMPLE-FLAT-RAW", "", "--method iec --edge-h %s --edge-h-roi 362,412,300,200 "
             "--edge-v %s --edge-v-roi 412,362,200,300 --flat %s --beam RQA5 --kerma 2.5 --report x.pdf"
             % (edge, sample("sample_edge_v.raw"), flat), "refused"),
        ]
        cls.jobs = os.path.join(cls.dir, "jobs.csv")
        with open(cls.jobs, "w", newline="") as f:
            w = csv.writer(f)
            w.writerow(["command", "file", "preset", "roi", "options"])
            for r in cls.rows:
                w.writerow(r[:5])
        cls.one = run("batch", cls.jobs, "--jobs", "1")
        cls.two = run("batch", cls.jobs, "--jobs", "2")

    def results(self, r):
        return list(csv.DictReader(io.StringIO(r.stdout)))

    def test_one_row_per_job_in_order_with_its_status_and_exit_3_for_any_refusal(self):
        self.assertEqual(self.two.returncode, 3, self.two.stderr)
        self.assertIn("6 of 10 jobs were refused", self.two.stderr)
        rows = self.results(self.two)
        self.assertEqual([r["job"] for r in rows], [str(i + 1) for i in range(len(self.rows))])
        self.assertEqual([r["file"] for r in rows], [j[1] for j in self.rows])
        self.assertEqual([r["status"] for r in rows], [j[5] for j in self.rows])
        self.assertEqual(self.one.stdout, self.two.stdout, "the same rows whatever the threads")

    def test_reasons_name_what_was_wrong(self):
        rows = self.results(self.two)
        self.assertIn("skipped", rows[2]["reason"])
        self.assertIn("structured report", rows[2]["reason"])
        self.assertIn("text file", rows[4]["reason"])
        self.assertIn("presentation state", rows[6]["reason"])
        self.assertIn("--bogus", rows[7]["reason"])
        self.assertIn("--report", rows[9]["reason"])
        single = run("mtf", sample("sample_edge.raw"), "--preset", "SAMPLE-EDGE-RAW", "--roi", "10,10,300,200")
        self.assertEqual(rows[1]["reason"], single.stderr.strip()[len("vantry-measure: "):])

    def test_figures_are_those_of_the_single_command(self):
        rows = self.results(self.two)
        single = run("mtf", sample("sample_edge.raw"), "--preset", "SAMPLE-EDGE-RAW", "--roi",
                     "362,412,300,200", "--format", "json")
        figures = json.loads(single.stdout)["figures"]
        for key in ("shift", "angle_deg", "mtf50", "mtf10"):
            self.assertAlmostEqual(float(rows[0][key]), figures[key], places=12)
        self.assertEqual(rows[3]["blocks"], "16")
        self.assertEqual(rows[5]["width"], "1024")

    def test_json_holds_every_jobs_whole_output(self):
        r = run("batch", self.jobs, "--format", "json")
        self.assertEqual(r.returncode, 3)
        doc = json.loads(r.stdout)
        self.assertEqual((doc["ok"], doc["refused"]), (4, 6))
        self.assertEqual([j["status"] for j in doc["jobs"]], [j[5] for j in self.rows])
        nnps = doc["jobs"][3]
        self.assertEqual(nnps["settings"]["nfmax"], 2.5)
        self.assertEqual(len(nnps["curves"][0]["frequency"]), 25)
        self.assertIn("reason", doc["jobs"][1])

    def test_all_good_jobs_exit_0_and_a_broken_jobs_file_or_option_is_refused(self):
        good = os.path.join(self.dir, "good.csv")
        with open(good, "w") as f:
            f.write('command,file,preset,roi\r\nread,%s,SAMPLE-EDGE-RAW,\r\n\r\n' % sample("sample_edge.raw"))
        r = run("batch", good)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(len(self.results(r)), 1)
        bad = os.path.join(self.dir, "bad.csv")
        for text, why in (("command,file,kv\n", "line 1"), ('command,file\nread,"x\n', "line 2"),
                          ("file\nx\n", "no column \"command\""), ("", "empty")):
            with open(bad, "w") as f:
                f.write(text)
            r = run("batch", bad)
            self.assertEqual(r.returncode, 3, text)
            self.assertIn(why, r.stderr, text)
        self.assertEqual(run("batch", good, "--jobs", "0").returncode, 2)
        self.assertEqual(run("batch", good, "--format", "text").returncode, 2)
        self.assertEqual(run("batch", os.path.join(self.dir, "missing.csv")).returncode, 3)


if __name__ == "__main__":
    MEASURE, BIN = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1], verbosity=2)
