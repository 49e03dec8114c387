#!/usr/bin/env python3
"""Writes a deterministic tree of pseudo-English text files for benchmarks.

Usage: make_text_tree.py OUTDIR TOTAL_MB SEED

The same arguments always give the same bytes (file names, folder layout and
contents), so runs on different days and machines compare. Files have varied
sizes (a few hundred bytes to 8 MiB, most of them small) and sit
in folders up to three levels deep. The text has the statistics that matter
to compressors: a Zipf-like choice of words from common English words and
made-up longer ones, recurring phrases, sentences and paragraphs, wrapped
lines, and now and then a line repeated from earlier in the file.
"""

import os
import random
import sys

COMMON = (
    "the of and to a in is it that was for on are with as i his they be at one have this from "
    "or had by not word but what some we can out other were all there when up use your how said "
    "an each she which do their time if will way about many then them write would like so these "
    "her long make thing see him two has look more day could go come did number sound no most "
    "people my over know water than call first who may down side been now find any new work part "
    "take get place made live where after back little only round man year came show every good "
    "me give our under name very through just form sentence great think say help low line differ "
    "turn cause much mean before move right boy old too same tell does set three want air well "
    "also play small end put home read hand port large spell add even land here must big high "
    "such follow act why ask men change went light kind off need house picture try us again "
    "animal point mother world near build self earth father head stand own page should country "
    "found answer school grow study still learn plant cover food sun four between state keep eye "
    "never last let thought city tree cross farm hard start might story saw far sea draw left "
    "late run while press close night real life few north open seem together next white children "
    "begin got walk example ease paper group always music those both mark often letter until mile "
    "river car feet care second book carry took science eat room friend began idea fish mountain "
    "stop once base hear horse cut sure watch color face wood main enough plain girl usual young "
    "ready above ever red list though feel talk bird soon body dog family direct pose leave song "
    "measure door product black short numeral class wind question happen complete ship area half "
    "rock order fire south problem piece told knew pass since top whole king space heard best "
    "hour better true during hundred five remember step early hold west ground interest reach "
    "fast verb sing listen six table travel less morning ten simple several vowel toward war lay "
    "against pattern slow center love person money serve appear road map rain rule govern pull "
    "cold notice voice unit power town fine certain fly fall lead cry dark machine note wait plan "
    "figure star box noun field rest correct able pound done beauty drive stood contain front "
    "teach week final gave green oh quick develop ocean warm free minute strong special mind "
    "behind clear tail produce fact street inch multiply nothing course stay wheel full force blue "
    "object decide surface deep moon island foot system busy test record boat common gold possible "
    "plane stead dry wonder laugh thousand ago ran check game shape equate miss brought heat snow "
    "tire bring yes distant fill east paint language among"
).split()

SYLLABLES = ("ka lo re ti on an es ul mi dor be sta ve nu pe ri so tha gen wi "
             "ex pro con ment tion al ing er ly ous ive ful ness").split()


def make_vocabulary(rng):
    words = list(COMMON)
    seen = set(words)
    while len(words) < 6000:
        w = "".join(rng.choice(SYLLABLES) for _ in range(rng.randint(2, 4)))
        if w not in seen:
            seen.add(w)
            words.append(w)
    # Zipf-like weights by rank, so a few words are very frequent.
    cum, total = [], 0.0
    for rank in range(len(words)):
        total += 1.0 / (rank + 1.5) ** 1.07
        cum.append(total)
    return words, cum


class TextMaker:
    def __init__(self, rng):
        self.rng = rng
        self.words, self.cum = make_vocabulary(rng)
        # A store of phrases that recur across files, as boilerplate does.
        self.phrases = [" ".join(self.pick(rng.randint(3, 7))) for _ in range(400)]

    def pick(self, n):
        return self.rng.choices(self.words, cum_weights=self.cum, k=n)

    def sentence(self):
        rng = self.rng
        n = rng.randint(4, 22)
        words = self.pick(n)
        if rng.random() < 0.3:
            words.insert(rng.randrange(len(words)), rng.choice(self.phrases))
        if rng.random() < 0.15:
            words.insert(rng.randrange(len(words)), str(rng.randint(1, 2000)))
        if rng.random() < 0.2:
            k = rng.randrange(1, len(words))
            words[k - 1] += ","
        s = " ".join(words)
        return s[0].upper() + s[1:] + rng.choice(".....?!")

    def text(self, size):
        """Roughly `size` bytes of wrapped paragraphs."""
        rng = self.rng
        width = rng.choice((64, 72, 76, 80, 100))
        lines, length, earlier = [], 0, []
        while length < size:
            if earlier and rng.random() < 0.04:
                line = rng.choice(earlier)
                lines.append(line)
                length += len(line) + 1
                continue
            para = " ".join(self.sentence() for _ in range(rng.randint(1, 8)))
            current = []
            cur_len = 0
            for word in para.split(" "):
                if cur_len + len(word) + 1 > width and current:
                    line = " ".join(current)
                    lines.append(line)
                    length += len(line) + 1
                    current, cur_len = [], 0
                current.append(word)
                cur_len += len(word) + 1
            if current:
                line = " ".join(current)
                lines.append(line)
                length += len(line) + 1
            lines.append("")
            length += 1
            if rng.random() < 0.3 and len(lines) > 2:
                earlier.append(lines[-2])
        data = "\n".join(lines).encode("ascii")
        return data[:size] if len(data) > size else data


def file_size(rng):
    # Most files are small, a few are large: log-uniform, 300 bytes to
    # 600 KiB, and one in fifty of 1 to 8 MiB.
    if rng.random() < 0.02:
        return rng.randint(1 << 20, 8 << 20)
    return int(300 * (2 ** (rng.random() * 11)))


def main(argv):
    if len(argv) != 4:
        sys.stderr.write("usage: make_text_tree.py OUTDIR TOTAL_MB SEED\n")
        return 2
    out_dir, total_mb, seed = argv[1], float(argv[2]), int(argv[3])
    if total_mb <= 0:
        sys.stderr.write("TOTAL_MB must be positive\n")
        return 2
    rng = random.Random(seed)
    maker = TextMaker(rng)
    total = int(total_mb * 1024 * 1024)
    folders = [""]
    exts = (".txt", ".md", ".log", ".csv", ".ini", ".htm", ".c")
    written, index = 0, 0
    while written < total:
        if rng.random() < 0.08 or len(folders) == 1:
            parent = rng.choice(folders)
            if parent.count("/") < 3:
                name = "_".join(maker.pick(rng.randint(1, 2)))
                folders.append((parent + "/" if parent else "") + name)
        folder = rng.choice(folders)
        size = min(file_size(rng), total - written)
        base = "-".join(maker.pick(rng.randint(1, 3)))
        name = "%s_%04d%s" % (base, index, rng.choice(exts))
        path = os.path.join(out_dir, folder, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        data = maker.text(max(size, 1))
        with open(path, "wb") as f:
            f.write(data)
        written += len(data)
        index += 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
