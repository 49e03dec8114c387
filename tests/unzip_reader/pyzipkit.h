#pragma once

// A tiny Python ZIP writer for archives no tool writes on request: raw CP437
// names, chosen extra fields, ZIP64 markers on chosen fields, wrapped entry
// counts. Prepended to the test's own Python program.

namespace unziptest {

inline constexpr const char *kPyZipKit = R"PY(
import struct, sys, zlib

def entry(name, data, flags=0, extra=b'', z64=(), method=0, made_by=0x0314, ext_attr=0,
          time=0x6000, date=0x5284):
    return dict(name=name, data=data, flags=flags, extra=extra, z64=z64, method=method,
                made_by=made_by, ext_attr=ext_attr, time=time, date=date)

def build(entries, comment=b'', zip64_end=False, count=None, prefix=b''):
    out = bytearray(prefix)
    cd = bytearray()
    for e in entries:
        data = e['data']
        payload = zlib.compress(data)[2:-4] if e['method'] == 8 else data
        crc = zlib.crc32(data)
        off = len(out) - len(prefix)
        out += struct.pack('<IHHHHHIIIHH', 0x04034b50, 20, e['flags'], e['method'], e['time'],
                           e['date'], crc, len(payload), len(data), len(e['name']),
                           len(e['extra']))
        out += e['name'] + e['extra'] + payload
        z = b''
        u32, c32, o32 = len(data), len(payload), off
        if 'u' in e['z64']: z += struct.pack('<Q', len(data)); u32 = 0xFFFFFFFF
        if 'c' in e['z64']: z += struct.pack('<Q', len(payload)); c32 = 0xFFFFFFFF
        if 'o' in e['z64']: z += struct.pack('<Q', off); o32 = 0xFFFFFFFF
        extra = e['extra'] + (struct.pack('<HH', 1, len(z)) + z if z else b'')
        cd += struct.pack('<IHHHHHHIIIHHHHHII', 0x02014b50, e['made_by'], 20, e['flags'],
                          e['method'], e['time'], e['date'], crc, c32, u32, len(e['name']),
                          len(extra), 0, 0, 0, e['ext_attr'], o32)
        cd += e['name'] + extra
    cd_off = len(out) - len(prefix)
    out += cd
    n = len(entries) if count is None else count
    if zip64_end:
        z64_off = len(out) - len(prefix)
        out += struct.pack('<IQHHIIQQQQ', 0x06064b50, 44, 45, 45, 0, 0, n, n, len(cd), cd_off)
        out += struct.pack('<IIQI', 0x07064b50, 0, z64_off, 1)
        out += struct.pack('<IHHHHIIH', 0x06054b50, 0, 0, 0xFFFF, 0xFFFF, 0xFFFFFFFF,
                           0xFFFFFFFF, len(comment))
    else:
        out += struct.pack('<IHHHHIIH', 0x06054b50, 0, 0, n & 0xFFFF, n & 0xFFFF, len(cd),
                           cd_off, len(comment))
    return bytes(out + comment)

def save(data):
    with open(sys.argv[1], 'wb') as f:
        f.write(data)
)PY";

} // namespace unziptest
