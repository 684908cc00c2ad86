#!/usr/bin/env bash
# Remakes every fixture of this folder from generated signals (see README.md).
set -euo pipefail
cd "$(dirname "$0")"
tone="synth 0.25 sine 440 sine 660 vol 0.8"
sox -n -r 22050 -c 2 -b 16 pcm16-stereo.wav $tone
sox -n -r 11025 -c 1 -b 8 pcm8-mono.wav synth 0.25 sine 500 vol 0.9
sox -n -r 22050 -c 2 -b 24 pcm24-stereo.wav $tone
sox -n -r 8000 -c 1 -b 32 pcm32-mono.wav synth 0.25 sine 300 vol 0.9
sox -n -r 22050 -c 2 -e floating-point -b 32 float32-stereo.wav $tone
ffmpeg -v error -y -f lavfi -i "sine=frequency=440:sample_rate=16000:duration=0.25" -af volume=0.9 -c:a pcm_f32le float32-ffmpeg.wav
sox -n -r 8000 -c 1 -e floating-point -b 64 float64-mono.wav synth 0.25 sine 700 vol 0.9
# 20 whole blocks of 1012 frames each, so no block is padded.
sox -n -r 22050 -c 2 -b 16 -e ms-adpcm msadpcm.wav synth 20240s sine 440 sine 660 vol 0.8
sox -n -r 22050 -c 2 -b 16 -e ima-adpcm imaadpcm.wav $tone
sox -n -r 8000 -c 1 -e gsm-full-rate gsm.wav synth 0.32 sine 440 vol 0.8
sox -n -r 8000 -c 1 -e mu-law mulaw.wav synth 0.25 sine 440 vol 0.8
sox -n -r 8000 -c 2 -e a-law alaw.wav synth 0.25 sine 440 sine 660 vol 0.8
ffmpeg -v error -y -f lavfi -i "sine=frequency=440:sample_rate=8000:duration=0.25" -ac 3 -c:a pcm_mulaw mulaw-3ch.wav
ffmpeg -v error -y -f lavfi -i "sine=frequency=440:sample_rate=22050:duration=0.5" -c:a libmp3lame -b:a 32k mp3.wav
sox -n -r 22050 -c 2 -b 16 pcm16.aiff $tone
sox -n -r 11025 -c 1 -b 8 pcm8.aiff synth 0.25 sine 500 vol 0.9
sox -n -r 44100 -c 1 -b 24 pcm24.aiff synth 0.1 sine 1000 vol 0.9
ffmpeg -v error -y -f lavfi -i "sine=frequency=440:sample_rate=16000:duration=0.1" -c:a pcm_s16le sowt.aifc
sox -n -r 8363 -c 1 -b 8 tone.8svx synth 0.25 sine 440 vol 0.9
sox -n -r 8000 -c 1 -b 16 pcm16.au synth 0.25 sine 440 vol 0.8
sox -n -r 8000 -c 2 -e signed-integer -b 8 pcm8.au synth 0.25 sine 440 sine 660 vol 0.8
sox -n -r 8000 -c 1 -b 24 pcm24.au synth 0.25 sine 440 vol 0.8
sox -n -r 8000 -c 1 -b 32 pcm32.au synth 0.25 sine 440 vol 0.8
sox -n -r 8000 -c 1 -e floating-point -b 32 float32.au synth 0.25 sine 440 vol 0.8
sox -n -r 8000 -c 1 -e floating-point -b 64 float64.au synth 0.25 sine 440 vol 0.8
sox -n -r 8000 -c 1 -e mu-law mulaw.au synth 0.25 sine 440 vol 0.8
sox -n -r 8000 -c 1 -e a-law alaw.au synth 0.25 sine 440 vol 0.8
sox -n -r 11025 -c 1 -b 8 pcm8.voc synth 0.25 sine 440 vol 0.8
sox -n -r 22050 -c 2 -b 16 pcm16.voc synth 0.25 sine 440 sine 660 vol 0.8
# ADPCM files with the signals they were made from, for round trips.
sox -n -r 16000 -c 2 -b 16 sine-16k-stereo.wav synth 0.25 sine 440 sine 660 vol 0.9
ffmpeg -v error -y -i sine-16k-stereo.wav -c:a adpcm_ima_qt ima4.aifc
sox -n -r 22050 -c 1 -b 16 sine440-22k.wav synth 0.25 sine 440 vol 0.5
ffmpeg -v error -y -i sine440-22k.wav -c:a adpcm_ima_ws ima.aud
sox -n -r 8000 -c 1 -b 16 sine440-8k.wav synth 0.5 sine 440 vol 0.5
sox sine440-8k.wav tone.vox
ffmpeg -v error -y -i sine440-8k.wav -c:a g726le -b:a 32k g721.au
