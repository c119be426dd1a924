#!/usr/bin/python3
"""conv.dll over the window's whole settings grid, timed side by side with the ffmpeg a user would pick for the job.

    bench/converter/grid_vs_static.py [--conv CONV_DLL] [--work DIR] [--pairs N]
                                      [--sources A,song,slides] [--sizes 128x96,...]
                                      [--rates 14.985,...] [--kbps 40,...] [--psnr [--equal-rate]]

The reference is the static ffmpeg 4.1 build of the npm package
@ffmpeg-installer/linux-x64 (4.1.0), fetched with `npm pack` into DIR the first
time: it has libopencore_amrnb, so it does exactly this job (H.263 + AMR-NB in
3GP), and being static it does not pay for loading shared libraries. Debian's
ffmpeg, which has no AMR-NB encoder, is the second column, doing H.263 + AAC.
Neither codes 160x120 or 320x240 (not H.263 baseline sizes): those cells are
compared with their work at 176x144 and 352x288.

Sources (made once in DIR, default $TMPDIR/conv-grid):
  A       60 s 640x480 25 fps MPEG-4 Part 2 + MP3 (as ratio_vs_ffmpeg.py)
  song    one still 1280x720 picture (H.264, 1 fps) and 180 s of sound (AAC)
  slides  ../shared/media/slideshow-noisy-10s-pictures.mp4 (six noisy pictures, ten seconds each)

Per cell, conv.dll, the static ffmpeg and Debian's run in turn, N times
(default 5), after one warm-up each; the ratios are medians of the pairs.
With --psnr: the video bit rate and best-match PSNR (best_match_psnr.py, every
frame shown, left-out ones too) of conv.dll's output and the static ffmpeg's, over
each one's picture area. With --equal-rate as well: conv.dll once more, asked
for the video rate the static ffmpeg really wrote (it overshoots low rates by
far), so the two PSNRs compare at equal rate; and how many of the static
ffmpeg's pictures are larger than H.263 lets a picture of that size be
(st_over), which a phone at the file's level may refuse.
Prints one line per cell as it goes; the whole grid is 5 sizes x 4 frame
rates x 5 bit rates per source.
"""
import argparse
import math
import os
import statistics
import subprocess
import sys
import tarfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import ratio_vs_ffmpeg as ratio  # noqa: E402  (sources A, timing, bit rates)

SIZES = ["128x96", "160x120", "176x144", "320x240", "352x288"]
RATES = ["14.985", "23.975", "25.0", "29.97"]
KBPS = ["40", "80", "120", "256", "512"]
# What the reference codes in place of a size H.263 baseline does not have.
REFERENCE_SIZE = {"160x120": "176x144", "320x240": "352x288"}
STATIC_PACKAGE = "@ffmpeg-installer/linux-x64@4.1.0"
SLIDES = os.path.join(HERE, "../../../shared/media/slideshow-noisy-10s-pictures.mp4")


def static_ffmpeg(work):
    binary = os.path.join(work, "ffmpeg-4.1-static", "ffmpeg")
    if os.path.exists(binary):
        return binary
    tarball = subprocess.run(["npm", "pack", "--silent", STATIC_PACKAGE], cwd=work, check=True,
                             capture_output=True, text=True).stdout.strip().splitlines()[-1]
    with tarfile.open(os.path.join(work, tarball)) as archive:
        member = archive.getmember("package/ffmpeg")
        member.name = "ffmpeg"
        archive.extract(member, os.path.join(work, "ffmpeg-4.1-static"))
    return binary


def make_song(path):
    if not os.path.exists(path):
        subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y",
                        "-f", "lavfi", "-i", "testsrc2=size=1280x720:rate=1:duration=1,loop=loop=179:size=1",
                        "-f", "lavfi", "-i", "sine=frequency=330:sample_rate=44100:duration=180",
                        "-c:v", "libx264", "-tune", "stillimage", "-pix_fmt", "yuv420p",
                        "-c:a", "aac", "-ac", "2", path], check=True)
    return path


def source_for(name):
    if name == "A":
        return ratio.make_source("A")
    if name == "song":
        return make_song("song.mp4")
    if name == "slides":
        return os.path.abspath(SLIDES)
    sys.exit(f"unknown source {name}")


def source_aspect(source):
    out = subprocess.run(["ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                          "stream=width,height", "-of", "csv=p=0", source],
                         check=True, capture_output=True, text=True).stdout.strip()
    width, height = (int(v) for v in out.split(",")[:2])
    return width / height


def even(value):
    return max(2, 2 * math.floor(value / 2 + 0.5))


def picture_area(size, aspect):
    """The part of conv.dll's frame that shows the source (it letterboxes)."""
    width, height = (int(v) for v in size.split("x"))
    pixel = 12 / 11 if size in ("128x96", "176x144", "352x288") else 1.0
    if aspect >= width * pixel / height:
        return width, min(height, even(width * pixel / aspect))
    return min(width, even(height * aspect / pixel)), height


def psnr(output, source, picture, frame, rate):
    return float(subprocess.run([os.path.join(HERE, "best_match_psnr.py"), output, source, *map(str, picture),
                                 *map(str, frame), rate], check=True, capture_output=True, text=True).stdout.strip())


def pictures_over_limit(output, frame):
    """Coded pictures larger than H.263's most bits per picture (BPPmaxKb) for this frame size."""
    width, height = frame
    most = 64 if width * height <= 176 * 144 else 256 if width * height <= 352 * 288 else 512
    sizes = subprocess.run(["ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries", "packet=size",
                            "-of", "csv=p=0", output], check=True, capture_output=True, text=True).stdout.split()
    return sum(1 for size in sizes if int(size) * 8 > most * 1024)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--conv", default=os.path.join(HERE, "../../build-rel/TovaroPRO/conv.dll"))
    parser.add_argument("--work", default=os.path.join(os.environ.get("TMPDIR", "/tmp"), "conv-grid"))
    parser.add_argument("--pairs", type=int, default=5)
    parser.add_argument("--sources", default="A,song,slides")
    parser.add_argument("--sizes", default=",".join(SIZES))
    parser.add_argument("--rates", default=",".join(RATES))
    parser.add_argument("--kbps", default=",".join(KBPS))
    parser.add_argument("--psnr", action="store_true")
    parser.add_argument("--equal-rate", action="store_true")
    args = parser.parse_args()
    conv = os.path.abspath(args.conv)
    os.makedirs(args.work, exist_ok=True)
    os.chdir(args.work)
    static = static_ffmpeg(args.work)

    print(f"{'source':6} {'size':7} {'rate':6} {'kbps':>4} {'conv_s':>7} {'static_s':>8} {'ratio':>6} "
          f"{'spread':>11} {'deb_s':>6} {'/deb':>5} {'conv_MB':>7} {'conv_dB':>7} {'st_dB':>6} "
          f"{'conv_kb':>7} {'st_kb':>7} {'eq_kb':>6} {'eq_dB':>6} {'st_over':>7}", flush=True)
    for name in args.sources.split(","):
        source = source_for(name)
        aspect = source_aspect(source)
        for size in args.sizes.split(","):
            theirs_size = REFERENCE_SIZE.get(size, size)
            for rate in args.rates.split(","):
                for kbps in args.kbps.split(","):
                    ours_out, static_out = f"ours-{name}.3gp", f"static-{name}.3gp"
                    ours = [conv, "-i", source, "-vcodec", "h263", "-b", kbps, "-y", "-r", rate, "-s", size,
                            "-acodec", "amr_nb", "-ac", "1", "-f", "3gp", "-ar", "8000", "-ab", "48", ours_out]
                    common = ["-nostdin", "-v", "error", "-y", "-i", source, "-c:v", "h263", "-b:v", f"{kbps}k",
                              "-r", rate, "-s", theirs_size, "-ac", "1", "-ar", "8000"]
                    theirs = [static, *common, "-c:a", "libopencore_amrnb", "-b:a", "12.2k",
                              "-max_muxing_queue_size", "4096", "-f", "3gp", static_out]
                    debian = ["ffmpeg", *common, "-c:a", "aac", "-b:a", "12k", "-max_muxing_queue_size", "4096",
                              "-f", "3gp", f"debian-{name}.3gp"]
                    for command in (ours, theirs, debian):
                        ratio.timed(command)
                    ours_s, static_s, debian_s, peak = [], [], [], 0.0
                    for _ in range(args.pairs):
                        wall, rss = ratio.timed(ours)
                        ours_s.append(wall)
                        peak = max(peak, rss)
                        static_s.append(ratio.timed(theirs)[0])
                        debian_s.append(ratio.timed(debian)[0])
                    to_static = [o / t for o, t in zip(ours_s, static_s)]
                    to_debian = [o / t for o, t in zip(ours_s, debian_s)]
                    db = {"conv": float("nan"), "static": float("nan")}
                    kb = {"conv": float("nan"), "static": float("nan")}
                    if args.psnr:
                        width, height = (int(v) for v in size.split("x"))
                        frame = (width, height)
                        db["conv"] = psnr(ours_out, source, picture_area(size, aspect), frame, rate)
                        theirs_frame = tuple(int(v) for v in theirs_size.split("x"))
                        db["static"] = psnr(static_out, source, theirs_frame, theirs_frame, rate)
                        kb = {"conv": ratio.video_kbps(ours_out), "static": ratio.video_kbps(static_out)}
                    equal = {"kb": float("nan"), "dB": float("nan"), "over": -1}
                    if args.psnr and args.equal_rate:
                        asked = ours.copy()
                        asked[asked.index("-b") + 1] = f"{kb['static']:.0f}"
                        asked[-1] = f"ours-eq-{name}.3gp"
                        subprocess.run(asked, check=True, capture_output=True)
                        equal["kb"] = ratio.video_kbps(asked[-1])
                        equal["dB"] = psnr(asked[-1], source, picture_area(size, aspect), frame, rate)
                        equal["over"] = pictures_over_limit(static_out, theirs_frame)
                    print(f"{name:6} {size:7} {rate:6} {kbps:>4} {statistics.median(ours_s):7.3f} "
                          f"{statistics.median(static_s):8.3f} {statistics.median(to_static):6.3f} "
                          f"{min(to_static):5.2f}-{max(to_static):<5.2f} {statistics.median(debian_s):6.3f} "
                          f"{statistics.median(to_debian):5.2f} {peak:7.1f} {db['conv']:7.2f} "
                          f"{db['static']:6.2f} {kb['conv']:7.1f} {kb['static']:7.1f} {equal['kb']:6.1f} "
                          f"{equal['dB']:6.2f} {equal['over']:7d}", flush=True)


if __name__ == "__main__":
    main()
