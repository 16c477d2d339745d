#!/usr/bin/env python3
"""Writes the stored seed corpus of every fuzz target into fuzz/corpus/<target>/.

The seeds are the documented examples plus the awkward inputs users' files really contain:
mixed line ends, byte-order marks, GBK names, UTF-16, hostile XML (entity expansion, deep
nesting, foreign encodings), BLN counts out of range, and markers at the edge of the 3000
bytes the release check examines. Run it again after changing it; it replaces the folders.
"""
import hashlib
import pathlib
import shutil

HERE = pathlib.Path(__file__).resolve().parent
ROOT = HERE.parent
CORPUS = HERE / "corpus"
RS = b"\x1e"  # separates the files of one input (fuzz/FuzzSupport.hpp, SplitInput)


def gbk(text):
    return text.encode("gbk")


def utf8(text):
    return text.encode("utf-8")


def utf16(text, little=True):
    bom = b"\xff\xfe" if little else b"\xfe\xff"
    return bom + text.encode("utf-16-le" if little else "utf-16-be")


def line_end_variants(data):
    """The same text with LF, CR LF, lone CR and a mixture."""
    lf = data.replace(b"\r\n", b"\n")
    mixed = b""
    for i, line in enumerate(lf.split(b"\n")):
        mixed += line + [b"\n", b"\r\n", b"\r"][i % 3]
    return [lf, lf.replace(b"\n", b"\r\n"), lf.replace(b"\n", b"\r"), mixed]


def example(name):
    return (ROOT / "examples" / name).read_bytes()


def table_seeds():
    base = [
        example("bl-degrees.csv"),
        example("packed.txt"),
        example("road.txt"),
        example("xy-zone105.csv"),
        utf8("点号,x,y,h\nP1,3376320.4035,624805.9342,12.5\nP2,3459535.1249,476208.7683\n"),
        gbk("点号,纬度,经度\n北京,39.9,116.4\n\n\n上海,31.2,121.5\n"),
    ]
    seeds = []
    for data in base:
        seeds += line_end_variants(data)
    text = "序号,X,Y\n1,2,3\n2,4,5\n"
    seeds += [
        b"",
        b"\n\n\n\n",
        b"   \n\t\n",
        b"\xef\xbb\xbf" + utf8(text),
        b"\xef\xbb\xbfP1,1,2",
        utf16(text),
        utf16(text, little=False),
        utf16("P1,1,2\r\nP2,3")[:-1],  # odd length
        utf8("名称,纬度,经度\n") + gbk("甲,1,2\n") + utf8("乙,3,4\n"),  # mixed encodings
        gbk("点,1,2\n") + b"\x81\x20,3,4\n",  # invalid GBK
        utf8("点,1,2\n点,3,") + b"\xe7\x82",  # truncated UTF-8 at the end
        b"a,b\x00c,d\n1,2,3,4\n",
        b"1,2,3\n" * 9 + b"1,2\n",  # short line after the detection window
        b"1\n" * 8 + b"1,2,3,4,5\n",  # wider line after the first eight
        b",,,,\n,,\n",
        b"1e999,nan,0x1A\n-inf,30,5,\"30,5\"\n",
        b"a;b c\td\n1 \t2;3,4\n",
        b"x" * 3000 + b",1\n",
        b"P," * 500 + b"\n",
    ]
    return seeds


def number_seeds():
    texts = [
        "0", "-0", "3.14", " 30.5", "+7", "-1e3", "1e999", "-1e999", "4.9e-324", "2.5e-324",
        "1e-400", "0x1A", "0X1p-3", "0x.8", "0x", "0x.", "inf", "-Infinity", "nan", "NaN(123)",
        "30,5", "--5", "+-5", "2147483648", "-2147483649", "99999999999999999999", " \t\v7 ",
        "1.7976931348623157e308", "1.7976931348623159e308", "0.000000000000000000001",
        "12345678901234567890.5", "1e", "1e+", ".", ".5", "5.", "1.2.3", "纬度", "30.5m",
        "0.5", "2.5", "0.125", "1.0000000000000002", "117.9999999999",
    ]
    seeds = [utf8(t) for t in texts]
    # Leading 19 bytes: a double, an integer, decimals and width, then the text.
    import struct
    for value, decimals, width in [(0.5, 0, 5), (-2.5, 0, 8), (1e300, 30, 63), (5e-324, 30, 0),
                                   (float("nan"), 3, 10), (-0.0, 2, 6), (0.125, 2, 12),
                                   (3376320.40355, 4, 15), (float("-inf"), 1, 9)]:
        head = struct.pack("<dq", value, -12345) + bytes([decimals, width, 4])
        seeds.append(head + b"624805.93425")
    return seeds


def angle_seeds():
    texts = [
        "117°12′34.56″", "-117°30′00.00″", "117°30′", "30′15″", "117'30'15\"", "117°", "°′″",
        "″′°", "-.5°", "- 5°", "--5°", "1171234.56", "117.123456", "2147483648°99′99.99″",
        "-2147483648°-5′1e999″", "0°0′nan″", "117°59′60.00″", "\xb0", "°" * 50,
    ]
    seeds = [utf8(t) for t in texts]
    seeds.append(gbk("117°12′34.56″"))  # the signs in the system code page
    import struct
    for x in [117.9999999, 30.999999999, -117.5, 1171259.99999999, 1e18, -0.0, 5e-324,
              float("inf"), float("nan"), 359.99999999]:
        seeds.append(struct.pack("<d", x) + utf8("117°30′"))
    return seeds


KML_HEAD = '<?xml version="1.0" encoding="UTF-8"?>\n<kml xmlns="http://www.opengis.net/kml/2.2">'
GPX_HEAD = ('<?xml version="1.0" encoding="UTF-8"?>\n<gpx xmlns="http://www.topografix.com/GPX/1/1"'
            ' version="1.1" creator="x">')


def xml_seeds():
    kml = (KML_HEAD + "<Document><Folder><name>路</name>"
           "<Placemark><name>P1</name><description>说明</description>"
           "<Point><coordinates>104.0633,30.6601,0</coordinates></Point></Placemark>"
           "<Placemark><name>L</name><LineString><coordinates>104.1,30.1,0 104.2,30.2"
           "\n104.3,30.3,0,9 ,1</coordinates></LineString></Placemark>"
           "<Placemark><name>G</name><Polygon><outerBoundaryIs><LinearRing><coordinates>"
           "1,2 3,4 5,6 1,2</coordinates></LinearRing></outerBoundaryIs></Polygon></Placemark>"
           "<MultiGeometry><Point><coordinates>1,2</coordinates></Point></MultiGeometry>"
           "</Folder></Document></kml>")
    gpx = (GPX_HEAD + '<wpt lat="30.5" lon="104.1"><name>航点</name><desc>d</desc></wpt>'
           '<rte><name>R</name><rtept lat="1" lon="2"/><rtept lat="3" lon="4"/></rte>'
           '<trk><name>T</name><trkseg><trkpt lat="5" lon="6"/></trkseg>'
           '<trkseg><trkpt lat="7" lon="8"><ele>9</ele></trkpt></trkseg></trk></gpx>')
    laughs = ('<?xml version="1.0"?><!DOCTYPE lolz [<!ENTITY lol "lol">'
              + "".join(f'<!ENTITY lol{i} "{("&lol" + (str(i - 1) if i > 1 else "") + ";") * 10}">'
                        for i in range(1, 10))
              + ']><kml><name>&lol9;</name></kml>')
    seeds = [
        utf8(kml),
        utf8(gpx),
        b"\xef\xbb\xbf" + utf8(kml),
        utf16(kml.replace("UTF-8", "UTF-16")),
        utf16(gpx.replace("UTF-8", "UTF-16"), little=False),
        gbk(kml.replace("UTF-8", "GBK")),
        gbk(gpx.replace("UTF-8", "gb2312")),
        gbk(kml.replace('<?xml version="1.0" encoding="UTF-8"?>', "")),  # GBK, undeclared
        utf8(kml.replace("UTF-8", "x-unknown-charset")),
        utf8(kml.replace("UTF-8", "GBK")),  # declared GBK, really UTF-8
        utf8('<html><head><meta charset="gbk"></head></html>'),
        utf8(laughs),
        utf8('<!DOCTYPE kml SYSTEM "file:///etc/passwd"><kml/>'),
        utf8('<?xml version="1.0"?><!DOCTYPE k [<!ENTITY x SYSTEM "file:///etc/passwd">]><kml>&x;</kml>'),
        utf8("<kml>" + "<Folder>" * 1001 + "</Folder>" * 1001 + "</kml>"),
        utf8("<kml>" + "<Folder>" * 999 + "</Folder>" * 999 + "</kml>"),
        utf8("<kml>" + "<a>" * 20000),
        utf8(kml[: len(kml) // 2]),  # truncated
        utf8(gpx[: len(gpx) - 7]),
        utf8(kml + "<kml/>"),  # second root
        utf8(kml + "junk"),
        utf8(kml + "<!-- 注释 -->\n"),
        utf8("<p:kml xmlns:p='http://www.opengis.net/kml/2.2'><p:Placemark><p:name>n</p:name>"
             "<p:Point><p:coordinates>1,2</p:coordinates></p:Point></p:Placemark></p:kml>"),
        utf8('<?xml version="1.0"?><gpx><wpt lat="1e999" lon="nan"><name>&lt;&amp;&#x4E2D;&#0;</name></wpt></gpx>'),
        utf8("<kml><![CDATA[x]]><Placemark><name><![CDATA[a]]>b</name></Placemark></kml>"),
        utf8("<kml><?pi x?><Placemark/></kml>"),
        b"",
        b"<",
        utf8("<?xml version='1.0' encoding='UTF-8'?>"),
    ]
    # The same inputs read as coordinate tables (TXT to KML / GPX).
    seeds += [example("road.txt"), example("bl-degrees.csv"),
              utf8("名称,纬度,经度,说明\nA,30,104,<&>\"'\nB,31,105,\x01\n"),
              utf8("名称,纬度,经度\nA,30,104\n\nB,,105\nC,1,2\n")]
    seeds += line_end_variants(utf8(kml))[1:]
    return seeds


def bln_seeds():
    lake = example("lake.bln")
    seeds = line_end_variants(lake)
    seeds += [
        lake + RS + lake,
        lake + RS + b"3,1\n1,2\n" + RS + lake,  # a polygon cut short, then the next file
        b"2147483648,1\n1,2\n",
        b"-5,1\n1,2\n3,1\n1,2\n3,4\n5,6\n",
        b"0,1\n1,2\n",
        b"9223372036854775807,1\n1,2\n",
        b"99999999999999999999999,1\n1,2\n",
        b"+3,1,\"name\"\n1,2,3\n4,5\n6,7,8,9\n",
        b"1e3,1\n1,2\n",
        b"\n\n  \n3,1\n\n1,2\n\n3,4\n5,6\n",
        gbk('2,1,"湖"\n1,2\n3,4\n'),
        utf8('2,1,"湖"\n1,2\n3,4\n'),
        b"\xef\xbb\xbf2,1\n1,2\n3,4\n",
        utf16("2,1\r\n1,2\r\n3,4\r\n"),
        b"2,1\n1,2\n\x81\x20,3\n",
        b"2,1\n1,2\n3,4" + RS + RS + b"1,0\n5,6\n",
        b"",
        RS + RS,
        b"abc\n" + RS + b"2,1\nx,y\n1,2\n3,4\n",
    ]
    return seeds


def release_seeds():
    page = ("<html><body><p>Version:8.0.1;修正换带计算,新增批量转换</p>"
            "<p>https://www.hvfactory.cn/carvento/Carvento-8.0.1.zip</p>Version-End</p></body></html>")
    seeds = [
        utf8(page),
        utf8("Version: 8.1 ;  new\n</p>\n<p> http://a/b </p>\nVersion-End"),
        utf8("Version:8</p>.1;text <p>link<p>Version-End"),
        utf8("Version:8.0.1;a</p>b"),
        utf8("Version:9.1|x</p><p>l</p>Version-End"),
        utf8("Version:9.1[x]</p>Version-End"),
        utf8("Version:9.1 no separator Version-End"),
        utf8("Version-End Version:"),
        b"",
    ]
    block = utf8("Version:9.9.9;d</p><p>http://l</p>Version-End")
    for end in (2999, 3000, 3001):
        # The block's last byte just inside, at and just beyond the 3000-byte edge.
        seeds.append(b"x" * (end - len(block)) + block + b"<tail>")
    seeds.append(b"x" * 2996 + b"Version:1;a</p>b</p>Version-End")  # start marker cut
    seeds.append(b"\xef\xbb\xbf" + gbk("Version:8.0.2;中文说明</p><p>链接</p>Version-End"))
    seeds += [b"8.0.1" + RS + b"8.0.1b" + RS + b"8.0.1-rc",
              b" 8.0 \t" + RS + b"8.0.0" + RS + b"8",
              b"007.1" + RS + b"7.01" + RS + b"7.1.0.0.0",
              b"99999999999999999999999.1" + RS + b"99999999999999999999998" + RS + b"",
              b"a.b.c" + RS + b"." + RS + b".."]
    return seeds


def round_trip_seeds():
    seeds = [example("road.txt"), example("bl-degrees.csv")]
    seeds += line_end_variants(utf8("名称,纬度,经度,备注\nP1,30.5,106.3,桥\nP2, 30.6 ,106.4,\n"))
    seeds += [utf8('名称,纬度,经度\n"A,B",30.5,106.3\n"say ""hi""",1,2\n'),
              gbk("名称,纬度,经度\n点一,30.5,106.3\n\n点二,31,107\n"),
              utf8("名称,纬度,经度\nKöln 😀,30.5,106.3\nx,abc,1\n"),
              utf8("名称,纬度,经度\n<&>,-0.0,1e2\n\"open,3,4\n")]
    return seeds


TARGETS = {
    "table_reader": table_seeds,
    "number_text": number_seeds,
    "angle_notation": angle_seeds,
    "xml_documents": xml_seeds,
    "bln_reader": bln_seeds,
    "release_block": release_seeds,
    "markup_round_trip": round_trip_seeds,
}


def main():
    for target, make in TARGETS.items():
        folder = CORPUS / target
        if folder.exists():
            shutil.rmtree(folder)
        folder.mkdir(parents=True)
        seeds = make()
        unique = {hashlib.sha1(s).hexdigest(): s for s in seeds}
        assert len(unique) <= 200, target
        assert sum(len(s) for s in unique.values()) <= 2 * 1024 * 1024, target
        for name, data in unique.items():
            (folder / name).write_bytes(data)
        print(f"{target}: {len(unique)} seeds, {sum(len(s) for s in unique.values())} bytes")


if __name__ == "__main__":
    main()
