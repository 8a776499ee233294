"""What the engine's benchmarks share: the tag values every tool writes, the
encoded test audio and the measurement of one whole process."""
import os
import subprocess
import time

TITLE, ARTIST, ALBUM, GENRE, YEAR, COMMENT = "Benchmark episode", "Host", "The Show", "Podcast", "2024", "Timed run"


def encode_noise(path, seconds, bitrate):
    """Pink noise through lame at a constant bitrate: about bitrate/8 KB a second."""
    ffmpeg = subprocess.Popen(["ffmpeg", "-v", "error", "-f", "lavfi", "-i", "anoisesrc=d=%d:c=pink:a=0.3" % seconds,
                               "-ac", "2", "-ar", "44100", "-f", "wav", "-"], stdout=subprocess.PIPE)
    subprocess.run(["lame", "--quiet", "-t", "-b", str(bitrate), "-", path], stdin=ffmpeg.stdout, check=True)
    ffmpeg.stdout.close()
    if ffmpeg.wait() != 0:
        raise RuntimeError("ffmpeg failed for " + path)


def measure(command, env=None, stdout=subprocess.DEVNULL):
    """Wall time in seconds and peak resident memory in KB of one whole process.
    wait4() hands back the child's own rusage, so no wrapper process is timed."""
    start = time.perf_counter()
    process = subprocess.Popen(command, env=env, stdout=stdout, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(process.pid, 0)
    seconds = time.perf_counter() - start
    process.returncode = os.waitstatus_to_exitcode(status)
    if process.returncode != 0:
        raise RuntimeError("%s exited with %d" % (command[0], process.returncode))
    return seconds, usage.ru_maxrss
