"""What a listener hears from the gateway: Mandarin, not pinyin read as English.

espeak-ng's own phoneme output is the oracle for what is said, and an
acoustic comparison (MFCC frames aligned by dynamic time warping) says which
of two renderings the gateway's WAV file sounds like: the Mandarin voice
"cmn-latn-pinyin", or the "cmn" voice that reads pinyin as English.
"""
import os
import subprocess
import tempfile
import unittest
import wave

import numpy as np

BIN = os.environ["QUILLON_BIN_DIR"]
HERALDO = os.path.join(BIN, "Heraldo")
VARIANT = "+f3"  # the installed catalogue's "girl xiaokun"

SENTENCES = [
    "各位同学请注意，今天下午三点在操场集合。",
    "明天有大雨，请大家带好雨具，注意安全。",
    "火警，请立即从最近的安全出口疏散。",
    "会议改到3号楼2楼，时间14:30，请准时参加。",
]


def heraldo(*args):
    result = subprocess.run([HERALDO, "--speak", *args], capture_output=True, text=True, timeout=60)
    if result.returncode != 0:
        raise AssertionError(f"Heraldo --speak {args}: {result.returncode} {result.stderr}")
    return result.stdout


def printed(text):
    lines = dict(line.split(": ", 1) for line in heraldo(text, "--print").splitlines())
    return lines["text"], lines["phonemes"]


def espeak_phonemes(voice, text):
    out = subprocess.run(["espeak-ng", "-q", "-x", "-v", voice, text], capture_output=True, text=True, check=True)
    return " ".join(out.stdout.split())


def mono_16k(path, folder, name):
    out = os.path.join(folder, name + ".16k.wav")
    subprocess.run(["sox", path, "-r", "16000", "-c", "1", "-b", "16", out], check=True)
    with wave.open(out) as w:
        samples = np.frombuffer(w.readframes(w.getnframes()), dtype=np.int16).astype(np.float64)
    return samples / 32768.0


def mfcc(signal, rate=16000, frame=400, hop=160, bands=26, coefficients=13):
    """Cepstral features with their mean removed, so that level and filtering do not count."""
    count = 1 + max(0, (len(signal) - frame) // hop)
    frames = np.stack([signal[i * hop:i * hop + frame] for i in range(count)]) * np.hamming(frame)
    power = np.abs(np.fft.rfft(frames, 512)) ** 2
    mel = lambda f: 2595 * np.log10(1 + f / 700)
    edges = 700 * (10 ** (np.linspace(mel(100), mel(7600), bands + 2) / 2595) - 1)
    bins = np.floor((512 + 1) * edges / rate).astype(int)
    filters = np.zeros((bands, power.shape[1]))
    for b in range(bands):
        low, centre, high = bins[b], bins[b + 1], bins[b + 2]
        filters[b, low:centre] = (np.arange(low, centre) - low) / max(centre - low, 1)
        filters[b, centre:high] = (high - np.arange(centre, high)) / max(high - centre, 1)
    energies = np.log(power @ filters.T + 1e-10)
    n = np.arange(bands)
    dct = np.cos(np.pi / bands * (n[None, :] + 0.5) * np.arange(coefficients)[:, None])
    cepstra = energies @ dct.T
    # Frames of silence would align with anything: keep the voiced ones.
    loud = energies.mean(axis=1) > energies.mean(axis=1).max() - 8
    cepstra = cepstra[loud][:, 1:]
    return cepstra - cepstra.mean(axis=0)


def dtw_distance(a, b):
    cost = np.sqrt(((a[:, None, :] - b[None, :, :]) ** 2).sum(axis=2))
    total = np.full((len(a) + 1, len(b) + 1), np.inf)
    total[0, 0] = 0
    for i in range(1, len(a) + 1):
        row = cost[i - 1]
        for j in range(1, len(b) + 1):
            total[i, j] = row[j - 1] + min(total[i - 1, j], total[i, j - 1], total[i - 1, j - 1])
    return total[len(a), len(b)] / (len(a) + len(b))


class MandarinSpeech(unittest.TestCase):
    def test_phonemes_are_the_mandarin_voices_with_no_switch_to_english(self):
        for sentence in SENTENCES:
            spoken, phonemes = printed(sentence)
            self.assertNotIn("(en)", phonemes, sentence)
            self.assertEqual(phonemes, espeak_phonemes("cmn-latn-pinyin" + VARIANT, spoken), sentence)
            # The oracle tells the fault apart: the old voice reads pinyin as English.
            self.assertIn("(en)", espeak_phonemes("cmn" + VARIANT, spoken), sentence)

    def test_latin_words_are_english_and_the_rest_stays_mandarin(self):
        spoken, phonemes = printed("请到B栋开会，WiFi已开通")
        self.assertEqual(spoken, "请到B栋开会，WiFi已开通")
        english = phonemes.count("(en)")
        self.assertEqual(english, 2, phonemes)
        self.assertIn(espeak_phonemes("en" + VARIANT, "WiFi"), phonemes)
        mandarin = phonemes.split("(cmn)")[-1]
        self.assertIn(espeak_phonemes("cmn-latn-pinyin" + VARIANT, "已开通"), mandarin)

    def test_the_gateways_wav_sounds_like_the_mandarin_voice(self):
        with tempfile.TemporaryDirectory() as folder:
            for index, sentence in enumerate(SENTENCES[:3]):
                spoken, _ = printed(sentence)
                gateway = os.path.join(folder, f"gateway{index}.wav")
                heraldo(sentence, "--out", gateway)
                features = {"gateway": mfcc(mono_16k(gateway, folder, "gateway"))}
                for name, voice in (("mandarin", "cmn-latn-pinyin"), ("english", "cmn")):
                    path = os.path.join(folder, name + ".wav")
                    subprocess.run(["espeak-ng", "-v", voice + VARIANT, "-w", path, spoken], check=True)
                    features[name] = mfcc(mono_16k(path, folder, name))
                to_mandarin = dtw_distance(features["gateway"], features["mandarin"])
                to_english = dtw_distance(features["gateway"], features["english"])
                self.assertLess(to_mandarin, 0.6 * to_english, f"{sentence}: {to_mandarin:.2f} vs {to_english:.2f}")


if __name__ == "__main__":
    unittest.main()
