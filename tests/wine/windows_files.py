"""Reads Windows files without Windows: a program's version strings and icon images (PE resources),
and a shell link's target, folder and icon (.lnk)."""
import struct

RT_ICON, RT_GROUP_ICON, RT_VERSION = 3, 14, 16


def resources(data):
    """{type id: {name id: bytes}} of a PE file (the first language of each resource)."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("not a PE file")
    sections_count, optional_size = struct.unpack_from("<H", data, pe + 6)[0], struct.unpack_from("<H", data, pe + 20)[0]
    optional = pe + 24
    pe32_plus = struct.unpack_from("<H", data, optional)[0] == 0x20B
    directory_rva = struct.unpack_from("<I", data, optional + (112 if pe32_plus else 96) + 2 * 8)[0]
    sections = [struct.unpack_from("<IIII", data, optional + optional_size + 40 * i + 8) for i in range(sections_count)]

    def offset(rva):
        for virtual_size, address, raw_size, raw_pointer in sections:
            if address <= rva < address + max(virtual_size, raw_size):
                return raw_pointer + rva - address
        raise ValueError("address outside the sections")

    base = offset(directory_rva)

    def entries(directory):
        named, numbered = struct.unpack_from("<HH", data, base + directory + 12)
        for i in range(named + numbered):
            name, target = struct.unpack_from("<II", data, base + directory + 16 + 8 * i)
            yield (None if name & 0x80000000 else name), target & 0x7FFFFFFF

    found = {}
    for kind, names in entries(0):
        for name, languages in entries(names):
            _, leaf = next(entries(languages))
            rva, size = struct.unpack_from("<II", data, base + leaf)
            found.setdefault(kind, {})[name] = data[offset(rva):offset(rva) + size]
    return found


def _blocks(data, start, end):
    """The VS_VERSIONINFO blocks between start and end: (key, text value or None, children start, end)."""
    pos = start
    while pos + 6 <= end:
        length, value_length, is_text = struct.unpack_from("<HHH", data, pos)
        if length == 0:
            break
        key_end = pos + 6
        while data[key_end:key_end + 2] != b"\0\0":
            key_end += 2
        key = data[pos + 6:key_end].decode("utf-16-le")
        value_start = (key_end + 2 + 3) & ~3
        value_bytes = value_length * 2 if is_text else value_length
        value = data[value_start:value_start + value_bytes].decode("utf-16-le").rstrip("\0") if is_text else None
        yield key, value, (value_start + value_bytes + 3) & ~3, pos + length
        pos = (pos + length + 3) & ~3


def version_strings(path):
    """The string values of a program's version resource, e.g. {"ProductVersion": "1.0.0", ...}."""
    with open(path, "rb") as f:
        data = f.read()
    version = next(iter(resources(data).get(RT_VERSION, {}).values()), None)
    if version is None:
        return {}
    strings = {}
    for key, _, children, end in _blocks(version, 0, len(version)):
        for info, _, tables, info_end in _blocks(version, children, end):
            if info != "StringFileInfo":
                continue
            for _, _, values, table_end in _blocks(version, tables, info_end):
                for name, value, _, _ in _blocks(version, values, table_end):
                    strings[name] = value
    return strings


def icon_images(path):
    """The images of a program's first icon group, as stored (PNG images stay PNG)."""
    with open(path, "rb") as f:
        found = resources(f.read())
    groups = found.get(RT_GROUP_ICON, {})
    if not groups:
        return []
    group = groups[min(groups, key=lambda name: (name is None, name or 0))]
    count = struct.unpack_from("<H", group, 4)[0]
    ids = [struct.unpack_from("<H", group, 6 + 14 * i + 12)[0] for i in range(count)]
    return [found[RT_ICON][i] for i in ids]


def ico_images(path):
    """The images of an .ico file."""
    with open(path, "rb") as f:
        data = f.read()
    count = struct.unpack_from("<H", data, 4)[0]
    images = []
    for i in range(count):
        size, offset = struct.unpack_from("<II", data, 6 + 16 * i + 8)
        images.append(data[offset:offset + size])
    return images


def shell_link(path):
    """Target, working folder, arguments and icon of a .lnk file."""
    with open(path, "rb") as f:
        data = f.read()
    if struct.unpack_from("<I", data, 0)[0] != 0x4C:
        raise ValueError("not a shell link")
    flags, icon_index = struct.unpack_from("<I", data, 20)[0], struct.unpack_from("<i", data, 56)[0]
    pos = 76
    if flags & 0x1:  # an item id list
        pos += 2 + struct.unpack_from("<H", data, pos)[0]
    link = {"target": None, "icon_index": icon_index}
    if flags & 0x2:  # location information
        size, _, info_flags, _, base_offset = struct.unpack_from("<IIIII", data, pos)
        if info_flags & 0x1:
            link["target"] = data[pos + base_offset:data.index(b"\0", pos + base_offset)].decode("latin-1")
        pos += size
    unicode = flags & 0x80
    for bit, name in ((0x4, "description"), (0x8, "relative_path"), (0x10, "working_dir"), (0x20, "arguments"),
                      (0x40, "icon_location")):
        if flags & bit:
            count = struct.unpack_from("<H", data, pos)[0]
            width = 2 if unicode else 1
            raw = data[pos + 2:pos + 2 + count * width]
            # Wine counts a terminating zero in the length.
            link[name] = raw.decode("utf-16-le" if unicode else "latin-1").rstrip("\0")
            pos += 2 + count * width
    return link
