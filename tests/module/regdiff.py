#!/usr/bin/env python3
"""Compares registry exports (reg export, UTF-16) of one classes root taken at different times.

  regdiff.py same BEFORE AFTER              exit 1 and show the difference when they differ
  regdiff.py added BEFORE AFTER KEY...      exit 1 unless every KEY (relative path) was added
  regdiff.py tops BEFORE AFTER OTHER        the top-most added keys that OTHER lacks, one per line
  regdiff.py mirror BEFORE AFTER OTHER ROOT OUT
                                            those keys and their subkeys with their values, as a
                                            .reg file under ROOT (keys OTHER has are left alone)
"""
import sys


def read(path):
    """{relative key path (lower case): (path as written, [value lines])}"""
    with open(path, 'rb') as f:
        raw = f.read()
    text = raw.decode('utf-16') if raw[:2] in (b'\xff\xfe', b'\xfe\xff') else raw.decode('utf-8', 'replace')
    keys, root, current = {}, None, None
    for line in text.replace('\r\n', '\n').split('\n'):
        if line.startswith('[') and line.endswith(']'):
            full = line[1:-1]
            if root is None:
                root = full
            rel = full[len(root):].lstrip('\\')
            current = rel.lower()
            keys[current] = (rel, [])
        elif current is not None and line.strip() and not line.startswith('Windows Registry'):
            keys[current][1].append(line)
    return keys


def added(before, after):
    return sorted(k for k in after if k not in before)


def main():
    cmd, a, b = sys.argv[1], read(sys.argv[2]), read(sys.argv[3])
    if cmd == 'same':
        diff = [k for k in sorted(set(a) | set(b)) if a.get(k, (0, []))[1] != b.get(k, (0, []))[1] or (k in a) != (k in b)]
        for k in diff[:20]:
            print('changed: ' + k)
        return 1 if diff else 0
    new = added(a, b)
    if cmd == 'added':
        missing = [k for k in sys.argv[4:] if k.lower() not in new]
        for k in missing:
            print('not added: ' + k)
        return 1 if missing or not new else 0
    other = read(sys.argv[4])
    fresh = [k for k in new if k not in other]
    tops = [k for k in fresh if k.rpartition('\\')[0] not in fresh]
    if cmd == 'tops':
        print('\n'.join(b[k][0] for k in tops))
        return 0
    if cmd == 'mirror':
        root, out = sys.argv[5], sys.argv[6]
        lines = ['Windows Registry Editor Version 5.00', '']
        for k in fresh:
            lines += ['[%s\\%s]' % (root, b[k][0])] + b[k][1] + ['']
        with open(out, 'w', encoding='utf-16') as f:
            f.write('\r\n'.join(lines) + '\r\n')
        return 0
    return 2


sys.exit(main())
