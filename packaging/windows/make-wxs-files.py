#!/usr/bin/env python3
"""Writes the fragment that wixl reads beside tamberlin.wxs: each staged file as a component of its
own in INSTALLDIR (subfolders as they are staged), and the component group Files of all of them, so
that the MSI installs and removes exactly the staged files.

Usage: make-wxs-files.py OUTPUT STAGE RELATIVE_PATH..."""
import re
import sys
from xml.sax.saxutils import quoteattr


def identifier(kind, path):
    # Windows Installer identifiers: letters, digits, underscores and dots, at most 72 characters.
    name = "%s_%s" % (kind, re.sub(r"[^A-Za-z0-9_.]", "_", path))
    if len(name) > 72:
        raise SystemExit("make-wxs-files.py: the path %s is too long for an identifier" % path)
    return name


def main():
    if len(sys.argv) < 4:
        raise SystemExit(__doc__)
    output, stage, files = sys.argv[1], sys.argv[2], sorted(sys.argv[3:])
    tree = {}
    for path in files:
        node = tree
        for part in path.split("/")[:-1]:
            node = node.setdefault(part + "/", {})
        node[path.split("/")[-1]] = path

    components = []

    def write(node, indent, lines):
        for name, child in sorted(node.items(), key=lambda item: (item[0].endswith("/"), item[0])):
            if isinstance(child, dict):
                folder = name[:-1]
                lines.append("%s<Directory Id=%s Name=%s>" % (
                    indent, quoteattr(identifier("d", folder)), quoteattr(folder)))
                write(child, indent + "  ", lines)
                lines.append("%s</Directory>" % indent)
            else:
                component = identifier("c", child)
                components.append(component)
                lines.append('%s<Component Id=%s Guid="*" Win64="yes">' % (indent, quoteattr(component)))
                lines.append('%s  <File Id=%s Name=%s Source=%s KeyPath="yes"/>' % (
                    indent, quoteattr(identifier("f", child)), quoteattr(name), quoteattr(stage + "/" + child)))
                lines.append("%s</Component>" % indent)

    lines = ['<?xml version="1.0" encoding="utf-8"?>', '<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">',
             "  <Fragment>", '    <DirectoryRef Id="INSTALLDIR">']
    write(tree, "      ", lines)
    lines += ["    </DirectoryRef>", '    <ComponentGroup Id="Files">']
    lines += ["      <ComponentRef Id=%s/>" % quoteattr(c) for c in components]
    lines += ["    </ComponentGroup>", "  </Fragment>", "</Wix>", ""]
    with open(output, "w", encoding="utf-8") as f:
        f.write("\n".join(lines))


if __name__ == "__main__":
    main()
