#!/usr/bin/python3
"""Average PSNR (dB, all planes) of a converted file's picture area against its source.

    best_match_psnr.py OUTPUT SOURCE PICTURE_W PICTURE_H FRAME_W FRAME_H [RATE]

Each output frame is compared with every source picture shown within one output
frame interval of its time (and the one on screen at that time), scaled to the
picture size, and the best match counts. That measures the encoding and scaling,
not which of two neighbouring source pictures a frame-rate converter picked.
With RATE (the output's frame rate), every frame a player shows counts: a frame
left out for the rate shows the picture before it, and is compared as that.
Without it only the frames in the file count, and leaving frames out is free.
The picture is the centred PICTURE_W x PICTURE_H part of the frame; black
borders around it are left out so they do not flatter the figure.
"""
import subprocess
import sys

import numpy as np


def frame_times(path):
    out = subprocess.run(
        ["ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
         "frame=best_effort_timestamp_time", "-of", "csv=p=0", path],
        check=True, capture_output=True, text=True).stdout
    return np.array([float(line.split(",")[0]) for line in out.split() if line and line[0] != "N"])


def start_time(path):
    out = subprocess.run(
        ["ffprobe", "-v", "error", "-show_entries", "format=start_time", "-of", "csv=p=0", path],
        check=True, capture_output=True, text=True).stdout.strip()
    try:
        return float(out)
    except ValueError:
        return 0.0


def raw_pictures(path, video_filter, width, height, timing=("-fps_mode", "passthrough")):
    raw = subprocess.run(
        ["ffmpeg", "-nostdin", "-v", "error", "-i", path, "-map", "0:v:0", *timing,
         "-vf", video_filter, "-pix_fmt", "yuv420p", "-f", "rawvideo", "-"],
        check=True, capture_output=True).stdout
    size = width * height * 3 // 2
    return np.frombuffer(raw, dtype=np.uint8).reshape(-1, size)


def main():
    out_path, src_path = sys.argv[1], sys.argv[2]
    pw, ph, fw, fh = (int(v) for v in sys.argv[3:7])
    x, y = (fw - pw) // 4 * 2, (fh - ph) // 4 * 2

    if len(sys.argv) > 7:
        rate = float(sys.argv[7])
        # The fps filter repeats the picture before into every frame left out.
        ours = raw_pictures(out_path, f"fps={rate},crop={pw}:{ph}:{x}:{y}", pw, ph, ())
        ours_t = np.arange(len(ours)) / rate
    else:
        ours = raw_pictures(out_path, f"crop={pw}:{ph}:{x}:{y}", pw, ph)
        ours_t = frame_times(out_path) - start_time(out_path)
    source = raw_pictures(src_path, f"scale={pw}:{ph}", pw, ph)
    source_t = frame_times(src_path) - start_time(src_path)
    if len(ours) != len(ours_t) or len(source) != len(source_t):
        sys.exit("frame count and timestamp count differ")
    interval = float(np.median(np.diff(ours_t))) if len(ours_t) > 1 else 1.0

    psnrs = []
    for picture, t in zip(ours, ours_t):
        on_screen = max(0, int(np.searchsorted(source_t, t, side="right")) - 1)
        near = np.nonzero(np.abs(source_t - t) <= interval + 1e-6)[0]
        candidates = np.union1d(near, [on_screen])
        diff = source[candidates].astype(np.int32) - picture.astype(np.int32)
        mse = (diff * diff).mean(axis=1)
        best = float(mse.min())
        psnrs.append(99.0 if best == 0 else 10 * np.log10(255.0 ** 2 / best))
    print("%.2f" % (sum(psnrs) / len(psnrs)))


if __name__ == "__main__":
    main()
