#!/usr/bin/env python3
"""Loudness of conv.dll's sound against its source's, on every sample with sound.

    bench/converter/loudness_table.py [--conv CONV] [--media DIR] [--work DIR] [-- EXTRA CONV ARGS]

For each file of DIR (default ../shared/media) that has sound: the source's
integrated loudness, then conv.dll's result's integrated loudness and sample
peak, all by FFmpeg's ebur128 filter, and how far the result's sound and
picture end apart (sync). The video is made small and cheap (128x96, 5 fps):
only the sound is looked at.
"""
import argparse
import os
import re
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))


def ebur128(path):
    """Integrated loudness (LUFS) and sample peak (dBFS) of the first sound stream."""
    err = subprocess.run(["ffmpeg", "-nostdin", "-hide_banner", "-i", path, "-map", "0:a:0",
                          "-af", "ebur128=peak=sample", "-f", "null", "-"],
                         capture_output=True, text=True, errors="replace").stderr
    summary = err[err.rfind("Summary:"):]
    loudness = re.search(r"I:\s+(-?[\d.]+|-inf) LUFS", summary)
    peak = re.search(r"Peak:\s+(-?[\d.]+|-inf) dBFS", summary)
    return (float(loudness.group(1)) if loudness else float("nan"),
            float(peak.group(1)) if peak else float("nan"))


def has_sound(path):
    out = subprocess.run(["ffprobe", "-v", "error", "-select_streams", "a", "-show_entries",
                          "stream=channels", "-of", "csv=p=0", path], capture_output=True, text=True).stdout
    return out.split()[0] if out.split() else None


def stream_ends(path):
    out = subprocess.run(["ffprobe", "-v", "error", "-show_entries", "stream=codec_type,duration",
                          "-of", "csv=p=0", path], capture_output=True, text=True).stdout
    ends = {}
    for line in out.split():
        kind, _, seconds = line.partition(",")
        if seconds not in ("", "N/A"):
            ends[kind] = float(seconds)
    return ends


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--conv", default=os.path.join(HERE, "../../build-rel/TovaroPRO/conv.dll"))
    parser.add_argument("--media", default=os.path.join(HERE, "../../../shared/media"))
    parser.add_argument("--work", default=tempfile.gettempdir())
    parser.add_argument("extra", nargs="*")
    args = parser.parse_args()

    print(f"{'sample':52} {'ch':>2} {'src_LUFS':>8} {'out_LUFS':>8} {'out_peak':>8} {'a-v_s':>6}")
    for name in sorted(os.listdir(args.media)):
        source = os.path.join(args.media, name)
        channels = has_sound(source)
        if not channels:
            continue
        output = os.path.join(args.work, "loudness-table.3gp")
        run = subprocess.run([args.conv, "-i", source, "-s", "128x96", "-r", "5", "-b", "40", *args.extra,
                              "-y", output], capture_output=True)
        if run.returncode != 0:
            print(f"{name:52} {channels:>2} conversion failed ({run.returncode})")
            continue
        src_lufs, _ = ebur128(source)
        out_lufs, out_peak = ebur128(output)
        ends = stream_ends(output)
        apart = ends["audio"] - ends["video"] if "audio" in ends and "video" in ends else float("nan")
        print(f"{name:52} {channels:>2} {src_lufs:8.1f} {out_lufs:8.1f} {out_peak:8.1f} {apart:6.2f}", flush=True)


if __name__ == "__main__":
    sys.exit(main())
