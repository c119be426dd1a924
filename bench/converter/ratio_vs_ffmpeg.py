#!/usr/bin/python3
"""conv.dll's wall time as a ratio of ffmpeg's doing the same job, timed side by side.

    bench/converter/ratio_vs_ffmpeg.py [--conv CONV_DLL] [--work DIR] [--pairs N] [--clips A,B,C]
                                       [--loaded] [--no-psnr]

The sources are made once with ffmpeg (in DIR, default $TMPDIR/conv-ratio):
  A  60 s 640x480 25 fps MPEG-4 Part 2 (-q:v 4) + MP3, AVI
  B  20 s 1280x720 30 fps H.264 (veryfast) + AAC, MP4
  C  20 min 320x240 15 fps MPEG-4 Part 2 (-q:v 4) + MP3, AVI: long and light
For each, conv.dll (176x144, 14.985 fps, 120 kbit/s, AMR-NB 12.2) and ffmpeg's
H.263 + AAC command at the same settings run in turn, A B A B ..., after one
warm-up each, and the ratio is taken pair by pair: the median ratio of N pairs
(default 9) holds up on a shared machine whose speed drifts. Beside it: the
decode-only floor (ffmpeg decoding the video alone on 2 threads, in the same
rotation), conv.dll's peak resident memory, and the picture quality of both
outputs and of ffmpeg held to the rate with conv.dll's two-second buffer
(best_match_psnr.py: each output frame against the nearest source pictures).
With --loaded, one busy loop at normal priority (another program keeping a
core busy, as on a desktop) runs during both runs of every pair.
Environment variables set for this script reach conv.dll.
"""
import argparse
import os
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))

CLIPS = {
    "A": ("A.avi", "640x480", "25", 60,
          ["-c:v", "mpeg4", "-q:v", "4", "-c:a", "libmp3lame", "-ar", "44100", "-ac", "2"]),
    "B": ("B.mp4", "1280x720", "30", 20,
          ["-c:v", "libx264", "-preset", "veryfast", "-c:a", "aac", "-ar", "48000", "-ac", "2"]),
    "C": ("C.avi", "320x240", "15", 1200,
          ["-c:v", "mpeg4", "-q:v", "4", "-c:a", "libmp3lame", "-ar", "44100", "-ac", "2"]),
}


class BusyLoop:
    """Another program keeping one core busy at normal priority, while in use."""

    def __enter__(self):
        self.process = subprocess.Popen(["sh", "-c", "while :; do :; done"], stdin=subprocess.DEVNULL)
        return self

    def __exit__(self, *_):
        self.process.kill()
        self.process.wait()


class NoLoad:
    def __enter__(self):
        return self

    def __exit__(self, *_):
        pass


def make_source(name):
    path, size, rate, seconds, codecs = CLIPS[name]
    if os.path.getsize(path) if os.path.exists(path) else 0:
        return path
    subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y",
                    "-f", "lavfi", "-i", f"testsrc2=size={size}:rate={rate}",
                    "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=48000",
                    "-t", str(seconds), *codecs, path], check=True)
    return path


def timed(command):
    """Wall seconds and peak resident memory (MB) of one run."""
    start = time.monotonic()
    process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(process.pid, 0)
    wall = time.monotonic() - start
    process.returncode = os.waitstatus_to_exitcode(status)
    if process.returncode != 0:
        sys.exit(f"failed ({process.returncode}): {' '.join(command)}")
    return wall, usage.ru_maxrss / 1024


def video_kbps(path):
    out = subprocess.run(["ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                          "stream=bit_rate", "-of", "csv=p=0", path],
                         check=True, capture_output=True, text=True).stdout.strip()
    return int(out) / 1000 if out.isdigit() else float("nan")


def picture_height(source):
    out = subprocess.run(["ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                          "stream=width,height", "-of", "csv=p=0", source],
                         check=True, capture_output=True, text=True).stdout.strip()
    width, height = (int(v) for v in out.split(","))
    # conv.dll keeps the display shape in 12:11 pixels and letterboxes the rest.
    return min(144, round(176 * 12 / 11 * height / width / 2) * 2)


def psnr(output, source, picture_h):
    return subprocess.run([os.path.join(HERE, "best_match_psnr.py"), output, source, "176",
                           str(picture_h), "176", "144"],
                          check=True, capture_output=True, text=True).stdout.strip()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--conv", default=os.path.join(HERE, "../../build-rel/TovaroPRO/conv.dll"))
    parser.add_argument("--work", default=os.path.join(os.environ.get("TMPDIR", "/tmp"), "conv-ratio"))
    parser.add_argument("--pairs", type=int, default=9)
    parser.add_argument("--clips", default="A,B")
    parser.add_argument("--loaded", action="store_true")
    parser.add_argument("--no-psnr", action="store_true")
    args = parser.parse_args()
    conv = os.path.abspath(args.conv)
    os.makedirs(args.work, exist_ok=True)
    os.chdir(args.work)

    print(f"{'clip':4} {'conv_s':>7} {'ffmpeg_s':>8} {'ratio':>6} {'spread':>11} {'floor_s':>7} "
          f"{'floor/ff':>8} {'conv_MB':>7} {'conv_dB':>7} {'ff_dB':>6} {'fair_dB':>7} "
          f"{'conv_kb':>7} {'fair_kb':>7}", flush=True)
    for name in args.clips.split(","):
        source = make_source(name)
        ours = [conv, "-i", source, "-vcodec", "h263", "-b", "120", "-y", "-r", "14.985", "-s", "176x144",
                "-acodec", "amr_nb", "-ac", "1", "-f", "3gp", "-ar", "8000", "-ab", "48", f"ours-{name}.3gp"]
        theirs = ["ffmpeg", "-nostdin", "-v", "error", "-y", "-i", source, "-c:v", "h263", "-b:v", "120k",
                  "-r", "14.985", "-s", "176x144", "-ac", "1", "-ar", "8000", "-c:a", "aac", "-b:a", "12k",
                  "-f", "3gp", f"ffmpeg-{name}.3gp"]
        floor = ["ffmpeg", "-nostdin", "-v", "error", "-threads", "2", "-i", source, "-an", "-f", "null", "-"]

        timed(ours)
        timed(theirs)
        ours_s, theirs_s, floor_s, ratios, peak = [], [], [], [], 0.0
        load = BusyLoop if args.loaded else NoLoad
        for _ in range(args.pairs):
            with load():
                wall, rss = timed(ours)
                ours_s.append(wall)
                peak = max(peak, rss)
                theirs_s.append(timed(theirs)[0])
                floor_s.append(timed(floor)[0])
            ratios.append(ours_s[-1] / theirs_s[-1])

        db = {"conv": "-", "ff": "-", "fair": "-"}
        kb = {"conv": float("nan"), "fair": float("nan")}
        if not args.no_psnr:
            fair = f"fair-{name}.3gp"
            subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y", "-i", source,
                            "-vf", "fps=14.985,scale=176:144", "-c:v", "h263", "-b:v", "120k",
                            "-maxrate", "120k", "-bufsize", "240k", "-an", "-f", "3gp", fair], check=True)
            h = picture_height(source)
            db = {"conv": psnr(f"ours-{name}.3gp", source, h),
                  "ff": psnr(f"ffmpeg-{name}.3gp", source, 144),
                  "fair": psnr(fair, source, 144)}
            kb = {"conv": video_kbps(f"ours-{name}.3gp"), "fair": video_kbps(fair)}

        spread = f"{min(ratios):.2f}-{max(ratios):.2f}"
        print(f"{name:4} {statistics.median(ours_s):7.3f} {statistics.median(theirs_s):8.3f} "
              f"{statistics.median(ratios):6.3f} {spread:>11} {statistics.median(floor_s):7.3f} "
              f"{statistics.median(floor_s) / statistics.median(theirs_s):8.3f} {peak:7.1f} "
              f"{db['conv']:>7} {db['ff']:>6} {db['fair']:>7} {kb['conv']:7.1f} {kb['fair']:7.1f}", flush=True)


if __name__ == "__main__":
    main()
