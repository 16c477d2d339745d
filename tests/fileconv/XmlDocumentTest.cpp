#include "fileconv/XmlDocument.hpp"

#include "support/ScratchFolder.hpp"

#include <gtest/gtest.h>

#include <string>

namespace carvento::fileconv {
namespace {

using carvento::testing::ScratchFolder;

const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";

// <a><b>1</b><c/><b>2</b><d><b>deep</b></d></a>
void LoadWalkable(XmlDocument& xml)
{
    ASSERT_TRUE(xml.LoadFromBytes("<a x=\"ax\"><b n=\"1\">1</b><c/><b n=\"2\">2</b>"
                                  "<d><b>deep</b><e>e</e></d></a>"));
}

TEST(XmlDocumentCursor, FindElementWalksForwardAndFailureKeepsThePosition)
{
    XmlDocument xml;
    ASSERT_TRUE(xml.LoadFromBytes("<a><b n=\"1\"/><c/><b n=\"2\"/></a>"));
    EXPECT_FALSE(xml.FindElement("b")); // the document level holds only the root
    ASSERT_TRUE(xml.FindElement("a"));
    EXPECT_FALSE(xml.FindElement("a")); // no second root
    ASSERT_TRUE(xml.EnterElement());
    ASSERT_TRUE(xml.FindElement("b"));
    EXPECT_EQ(xml.Attribute("n"), "1");
    ASSERT_TRUE(xml.FindElement("b"));
    EXPECT_EQ(xml.Attribute("n"), "2");
    EXPECT_FALSE(xml.FindElement("b"));
    EXPECT_EQ(xml.Attribute("n"), "2");
    EXPECT_FALSE(xml.FindElement("c")); // behind the current element
    EXPECT_EQ(xml.Attribute("n"), "2");
    xml.ResetPosition();
    ASSERT_TRUE(xml.FindElement("c"));
    ASSERT_TRUE(xml.FindElement("b"));
    EXPECT_EQ(xml.Attribute("n"), "2");
    EXPECT_EQ(xml.Attribute("missing"), "");
}

TEST(XmlDocumentCursor, FindChildElementStartsAtTheRootAndWalksItsChildren)
{
    XmlDocument xml;
    LoadWalkable(xml);
    // No current element: the root becomes current first.
    ASSERT_TRUE(xml.FindChildElement("b"));
    EXPECT_EQ(xml.Attribute("x"), "ax");
    EXPECT_EQ(xml.ChildText(), "1");
    ASSERT_TRUE(xml.FindChildElement("b"));
    EXPECT_EQ(xml.ChildText(), "2");
    EXPECT_FALSE(xml.FindChildElement("c")); // behind the current child
    EXPECT_EQ(xml.ChildText(), "2");
    EXPECT_FALSE(xml.FindChildElement("e")); // a grandchild, not a child
    EXPECT_EQ(xml.ChildText(), "2");
    xml.ResetChildPosition();
    ASSERT_TRUE(xml.FindChildElement("b"));
    EXPECT_EQ(xml.ChildText(), "1");

    XmlDocument missing;
    LoadWalkable(missing);
    EXPECT_FALSE(missing.FindChildElement("zz"));
    EXPECT_EQ(missing.Attribute("x"), ""); // a failed search selects nothing
}

TEST(XmlDocumentCursor, EnterAndLeaveMoveTheThreePositions)
{
    XmlDocument xml;
    LoadWalkable(xml);
    EXPECT_FALSE(xml.EnterElement()); // no current element
    EXPECT_FALSE(xml.LeaveElement()); // document level
    ASSERT_TRUE(xml.FindChildElement("d"));
    // The current child becomes the current element.
    ASSERT_TRUE(xml.EnterElement());
    ASSERT_TRUE(xml.FindChildElement("b"));
    EXPECT_EQ(xml.ChildText(), "deep");
    EXPECT_FALSE(xml.FindElement("b")); // d is the last element under a
    // Going down from d: b becomes the current element, under d.
    ASSERT_TRUE(xml.EnterElement());
    ASSERT_TRUE(xml.FindElement("e"));
    ASSERT_TRUE(xml.LeaveElement());
    // d is current again, e its current child; leaving once more makes a current.
    EXPECT_EQ(xml.ChildText(), "e");
    ASSERT_TRUE(xml.LeaveElement());
    EXPECT_EQ(xml.Attribute("x"), "ax");
    EXPECT_FALSE(xml.LeaveElement());
    EXPECT_FALSE(xml.FindChildElement("b")); // none after d, the current child
}

TEST(XmlDocumentCursor, ResetPositionAtTheDocumentLevelFindsTheRootAgain)
{
    XmlDocument xml;
    LoadWalkable(xml);
    ASSERT_TRUE(xml.FindElement("a"));
    EXPECT_FALSE(xml.FindElement("a"));
    xml.ResetPosition();
    EXPECT_TRUE(xml.FindElement("a"));
    // Inside the root, a reset keeps the parent.
    ASSERT_TRUE(xml.EnterElement());
    ASSERT_TRUE(xml.FindElement("d"));
    xml.ResetPosition();
    ASSERT_TRUE(xml.FindElement("b"));
    EXPECT_EQ(xml.Attribute("n"), "1");
}

TEST(XmlDocumentWrite, BuildsTheExactBytes)
{
    XmlDocument xml;
    ASSERT_TRUE(xml.SetDocumentText(kDeclaration));
    EXPECT_FALSE(xml.AddChildElement("x")); // no current element
    ASSERT_TRUE(xml.AddElement("kml"));
    ASSERT_TRUE(xml.SetAttribute("xmlns", "http://www.opengis.net/kml/2.2"));
    EXPECT_FALSE(xml.AddElement("second")); // one root
    ASSERT_TRUE(xml.AddChildElement("Document"));
    ASSERT_TRUE(xml.SetChildAttribute("z", "1"));
    ASSERT_TRUE(xml.SetChildAttribute("a", "2"));
    ASSERT_TRUE(xml.SetChildAttribute("z", "3")); // changed in place, order kept
    ASSERT_TRUE(xml.EnterElement());              // Document is the current element
    ASSERT_TRUE(xml.EnterElement());              // and now the parent
    ASSERT_TRUE(xml.AddElement("name", "点 1"));
    ASSERT_TRUE(xml.AddElement("Folder"));
    ASSERT_TRUE(xml.AddChildElement("open", "1"));
    ASSERT_TRUE(xml.AddChildElement("empty"));
    xml.ResetPosition();
    ASSERT_TRUE(xml.FindElement("name"));
    ASSERT_TRUE(xml.AddElement("inserted", "after name"));
    EXPECT_EQ(xml.DocumentText(), kDeclaration +
                                      "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\r\n"
                                      "<Document z=\"3\" a=\"2\">\r\n"
                                      "<name>点 1</name>\r\n"
                                      "<inserted>after name</inserted>\r\n"
                                      "<Folder>\r\n"
                                      "<open>1</open>\r\n"
                                      "<empty/>\r\n"
                                      "</Folder>\r\n"
                                      "</Document>\r\n"
                                      "</kml>\r\n");
    bool ok = false;
    EXPECT_EQ(xml.SavedBytes(&ok), xml.DocumentText());
    EXPECT_TRUE(ok);
}

TEST(XmlDocumentWrite, EscapesSpecialCharactersAndReadsThemBack)
{
    const std::string text = "a<b & c>d \"q\" 's'\nline";
    const std::string value = "x\"<&>\r\n\ty";
    XmlDocument xml;
    ASSERT_TRUE(xml.AddElement("r"));
    ASSERT_TRUE(xml.SetAttribute("v", value));
    ASSERT_TRUE(xml.AddChildElement("t", text));
    EXPECT_EQ(xml.DocumentText(), "<r v=\"x&quot;&lt;&amp;&gt;&#13;&#10;&#9;y\">\r\n"
                                  "<t>a&lt;b &amp; c&gt;d \"q\" 's'\nline</t>\r\n"
                                  "</r>\r\n");
    XmlDocument back;
    ASSERT_TRUE(back.LoadFromBytes(xml.DocumentText()));
    ASSERT_TRUE(back.FindChildElement("t"));
    EXPECT_EQ(back.Attribute("v"), value);
    EXPECT_EQ(back.ChildText(), text);
    EXPECT_EQ(back.DocumentText(), xml.DocumentText());
}

TEST(XmlDocumentWrite, RefusesNamesAndTextsThatXmlCannotHold)
{
    XmlDocument xml;
    EXPECT_FALSE(xml.AddElement(""));
    EXPECT_FALSE(xml.AddElement("a b"));
    EXPECT_FALSE(xml.AddElement("a<b"));
    EXPECT_FALSE(xml.AddElement("a", std::string("\x01", 1)));
    EXPECT_FALSE(xml.AddElement("a", "\xFF"));
    ASSERT_TRUE(xml.AddElement("a"));
    EXPECT_FALSE(xml.SetAttribute("b=c", "v"));
    EXPECT_FALSE(xml.SetChildAttribute("b", "v")); // no current child
    EXPECT_EQ(xml.DocumentText(), "<a/>\r\n");
}

TEST(XmlDocumentWrite, SetDocumentTextReplacesOrEmptiesTheDocument)
{
    XmlDocument xml;
    ASSERT_TRUE(xml.SetDocumentText(kDeclaration + "<a><b>t</b></a>"));
    ASSERT_TRUE(xml.FindChildElement("b"));
    EXPECT_EQ(xml.ChildText(), "t");
    EXPECT_FALSE(xml.SetDocumentText("<a><b></a>"));
    EXPECT_EQ(xml.DocumentText(), kDeclaration + "<a>\r\n<b>t</b>\r\n</a>\r\n");
    ASSERT_TRUE(xml.SetDocumentText(""));
    EXPECT_EQ(xml.DocumentText(), "");
    EXPECT_FALSE(xml.FindElement("a"));
    ASSERT_TRUE(xml.AddElement("new"));
    EXPECT_EQ(xml.DocumentText(), "<new/>\r\n");
}

std::string Utf16(const std::string& ascii, bool little)
{
    std::string out;
    for (char c : ascii) {
        out += little ? c : '\0';
        out += little ? '\0' : c;
    }
    return out;
}

TEST(XmlDocumentEncoding, Utf8ByteOrderMarkIsKeptOnSaving)
{
    XmlDocument xml;
    ASSERT_TRUE(xml.LoadFromBytes("\xEF\xBB\xBF" + kDeclaration + "<a>点</a>"));
    EXPECT_TRUE(xml.HadByteOrderMark());
    EXPECT_EQ(xml.DocumentText(), kDeclaration + "<a>点</a>\r\n");
    EXPECT_EQ(xml.SavedBytes(), "\xEF\xBB\xBF" + kDeclaration + "<a>点</a>\r\n");

    XmlDocument plain;
    ASSERT_TRUE(plain.LoadFromBytes(kDeclaration + "<a>点</a>"));
    EXPECT_FALSE(plain.HadByteOrderMark());
    EXPECT_EQ(plain.SavedBytes(), kDeclaration + "<a>点</a>\r\n");
}

TEST(XmlDocumentEncoding, Utf16InEitherByteOrder)
{
    const std::string declaration = "<?xml version=\"1.0\" encoding=\"UTF-16\"?>";
    const std::string body = "<a n=\"v\"><b>x</b></a>";
    for (bool little : {true, false}) {
        for (bool bom : {true, false}) {
            std::string bytes = bom ? (little ? "\xFF\xFE" : "\xFE\xFF") : "";
            bytes += Utf16(declaration + body, little);
            XmlDocument xml;
            ASSERT_TRUE(xml.LoadFromBytes(bytes)) << little << bom << xml.Result();
            EXPECT_EQ(xml.HadByteOrderMark(), bom);
            ASSERT_TRUE(xml.FindChildElement("b"));
            EXPECT_EQ(xml.ChildText(), "x");
            EXPECT_EQ(xml.Attribute("n"), "v");
            // Saved as UTF-16 little-endian with a byte-order mark, as declared.
            EXPECT_EQ(xml.SavedBytes(), "\xFF\xFE" + Utf16(xml.DocumentText(), true));
        }
    }
}

TEST(XmlDocumentEncoding, DeclaredGbkIsReadAsUtf8AndSavedAsGbk)
{
    // "<name>点位</name>" with the ideographs in GBK.
    const std::string gbk = "<?xml version=\"1.0\" encoding=\"gbk\"?>\r\n"
                            "<kml><name>\xB5\xE3\xCE\xBB</name><n>\xB2\xE2</n></kml>\r\n";
    XmlDocument xml;
    ASSERT_TRUE(xml.LoadFromBytes(gbk)) << xml.Result();
    ASSERT_TRUE(xml.FindChildElement("name"));
    EXPECT_EQ(xml.ChildText(), "点位");
    EXPECT_EQ(xml.DocumentText(), "<?xml version=\"1.0\" encoding=\"gbk\"?>\r\n"
                                  "<kml>\r\n<name>点位</name>\r\n<n>测</n>\r\n</kml>\r\n");
    bool ok = false;
    EXPECT_EQ(xml.SavedBytes(&ok), "<?xml version=\"1.0\" encoding=\"gbk\"?>\r\n"
                                   "<kml>\r\n<name>\xB5\xE3\xCE\xBB</name>\r\n<n>\xB2\xE2</n>\r\n"
                                   "</kml>\r\n");
    EXPECT_TRUE(ok);
    // GB2312 and GB18030 labels read the same bytes.
    for (const char* label : {"GB2312", "GB18030"}) {
        std::string relabelled = gbk;
        relabelled.replace(relabelled.find("gbk"), 3, label);
        XmlDocument other;
        ASSERT_TRUE(other.LoadFromBytes(relabelled)) << label;
        ASSERT_TRUE(other.FindChildElement("name"));
        EXPECT_EQ(other.ChildText(), "点位");
    }
}

TEST(XmlDocumentEncoding, CharsetOfAnHtmlMetaElement)
{
    XmlDocument xml;
    ASSERT_TRUE(xml.LoadFromBytes("<html><head><meta http-equiv=\"Content-Type\" "
                                  "content=\"text/html; charset=GB2312\"/></head>"
                                  "<body>\xB5\xE3</body></html>"))
        << xml.Result();
    ASSERT_TRUE(xml.FindChildElement("body"));
    EXPECT_EQ(xml.ChildText(), "点");
    // Saved in the encoding the meta element names, so the file reads back as the same text
    // (written as UTF-8, it would be read as GB2312 again and garbled).
    bool ok = false;
    const std::string saved = xml.SavedBytes(&ok);
    ASSERT_TRUE(ok);
    EXPECT_NE(saved.find("<body>\xB5\xE3</body>"), std::string::npos);
    XmlDocument again;
    ASSERT_TRUE(again.LoadFromBytes(saved)) << again.Result();
    EXPECT_EQ(again.DocumentText(), xml.DocumentText());
    // After a byte-order mark the meta element is not what was read, and UTF-8 stays.
    ASSERT_TRUE(xml.LoadFromBytes("\xEF\xBB\xBF<html><head><meta charset=\"gbk\"/></head>"
                                  "<body>点</body></html>"));
    EXPECT_NE(xml.SavedBytes().find("<body>点</body>"), std::string::npos);
}

TEST(XmlDocumentEncoding, UndeclaredTextThatIsNotUtf8IsReadAsGbk)
{
    XmlDocument xml;
    ASSERT_TRUE(xml.LoadFromBytes("<a><b>\xB5\xE3\xCE\xBB</b></a>")) << xml.Result();
    ASSERT_TRUE(xml.FindChildElement("b"));
    EXPECT_EQ(xml.ChildText(), "点位");
    // With nothing declared the document is saved as UTF-8.
    EXPECT_EQ(xml.SavedBytes(), "<a>\r\n<b>点位</b>\r\n</a>\r\n");
}

TEST(XmlDocumentEncoding, InvalidBytesInADeclaredEncodingRefuseTheFile)
{
    XmlDocument xml;
    EXPECT_FALSE(xml.LoadFromBytes(kDeclaration + "<a>\xB5\xE3</a>"));
    EXPECT_NE(xml.Result().find("invalid_bytes"), std::string::npos);
    EXPECT_EQ(xml.DocumentText(), "");
    EXPECT_FALSE(xml.LoadFromBytes("\xEF\xBB\xBF<a>\xFF</a>"));
    EXPECT_FALSE(xml.LoadFromBytes("<?xml version=\"1.0\" encoding=\"GBK\"?><a>\xB5</a>"));
    EXPECT_FALSE(xml.LoadFromBytes("<?xml version=\"1.0\" encoding=\"no-such\"?><a/>"));
    EXPECT_NE(xml.Result().find("unknown_encoding"), std::string::npos);
}

TEST(XmlDocumentBadInput, NotWellFormedFilesLeaveAnEmptyDocument)
{
    const std::string bad[] = {
        "",
        "   \r\n",
        "<a>",
        "<a></b>",
        "<a><b></a></b>",
        "text",
        "<a/>junk",
        "<a/><b/>",
        "junk<a/>",
        "<a/><![CDATA[x]]>",
        "<a x=\"1></a>",
        "<!-- only a comment -->",
        std::string("<a>\0</a>", 8),
        "<a>\x01</a>",
        "<a>&#1;</a>",
        "<a b=\"&#xD800;\"/>",
        "<a>&#x110000;</a>",
    };
    for (const std::string& bytes : bad) {
        XmlDocument xml;
        ASSERT_TRUE(xml.SetDocumentText(kDeclaration + "<old/>"));
        EXPECT_FALSE(xml.LoadFromBytes(bytes)) << bytes;
        EXPECT_FALSE(xml.Result().empty());
        EXPECT_EQ(xml.DocumentText(), "") << bytes;
        EXPECT_FALSE(xml.FindElement("a"));
    }
    XmlDocument sibling;
    EXPECT_FALSE(sibling.LoadFromBytes("<a/>\r\n<b/>"));
    EXPECT_NE(sibling.Result().find("root_has_sibling"), std::string::npos);
    // What may stand beside the root: white space, comments, processing instructions.
    XmlDocument fine;
    EXPECT_TRUE(fine.LoadFromBytes("<!-- c --><?pi x?>\n<a>1</a>\n<!-- end -->\n"));
}

TEST(XmlDocumentBadInput, NestingDeeperThanTheLimitIsRefusedBeforeParsing)
{
    auto nested = [](int depth) {
        std::string text;
        for (int i = 0; i < depth; ++i)
            text += "<e>";
        for (int i = 0; i < depth; ++i)
            text += "</e>";
        return text;
    };
    XmlDocument xml;
    EXPECT_TRUE(xml.LoadFromBytes(nested(XmlDocument::kMaxDepth)));
    EXPECT_FALSE(xml.LoadFromBytes(nested(XmlDocument::kMaxDepth + 1)));
    EXPECT_NE(xml.Result().find("too_deep"), std::string::npos);
    EXPECT_FALSE(xml.LoadFromBytes(nested(200000)));
    // Start tags that are never closed count as well, a quoted '>' inside them too.
    std::string unclosed;
    for (int i = 0; i < 200000; ++i)
        unclosed += "<e a='>'>";
    EXPECT_FALSE(xml.LoadFromBytes(unclosed));
    EXPECT_NE(xml.Result().find("too_deep"), std::string::npos);
    EXPECT_EQ(xml.DocumentText(), "");
    // Comments, CDATA and self-closed elements do not nest.
    std::string flat = "<r>";
    for (int i = 0; i < 5000; ++i)
        flat += "<e/><!-- <e> --><![CDATA[<e>]]>";
    EXPECT_TRUE(xml.LoadFromBytes(flat + "</r>")) << xml.Result();
}

TEST(XmlDocumentBadInput, EntityDeclarationsAreRefusedAndNothingExpands)
{
    std::string laughs = "<?xml version=\"1.0\"?>\n<!DOCTYPE lolz [\n<!ENTITY lol \"lol\">\n";
    laughs += "<!ENTITY lol1 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">\n";
    for (int i = 2; i <= 9; ++i) {
        std::string previous = "&lol" + std::to_string(i - 1) + ";";
        laughs += "<!ENTITY lol" + std::to_string(i) + " \"";
        for (int k = 0; k < 10; ++k)
            laughs += previous;
        laughs += "\">\n";
    }
    laughs += "]>\n<lolz>&lol9;</lolz>";
    XmlDocument xml;
    EXPECT_FALSE(xml.LoadFromBytes(laughs));
    EXPECT_NE(xml.Result().find("entity_declaration"), std::string::npos);
    EXPECT_EQ(xml.DocumentText(), "");
    // A DOCTYPE without declarations is skipped; an unknown reference is kept as written.
    ASSERT_TRUE(xml.LoadFromBytes("<!DOCTYPE kml SYSTEM \"x.dtd\"><kml><a>&ext;</a></kml>"));
    ASSERT_TRUE(xml.FindChildElement("a"));
    EXPECT_EQ(xml.ChildText(), "&ext;");
}

TEST(XmlDocumentSave, WritesTheFileAndReadsItBack)
{
    ScratchFolder scratch;
    XmlDocument xml;
    ASSERT_TRUE(xml.SetDocumentText(kDeclaration));
    ASSERT_TRUE(xml.AddElement("gpx"));
    ASSERT_TRUE(xml.AddChildElement("name", "测试"));
    const std::string path = scratch / "out.gpx";
    ASSERT_TRUE(xml.Save(path)) << xml.Result();
    EXPECT_EQ(ScratchFolder::Read(path), xml.DocumentText());
    EXPECT_NE(xml.Result().find("write"), std::string::npos);

    XmlDocument back;
    ASSERT_TRUE(back.Load(path)) << back.Result();
    EXPECT_FALSE(back.HadByteOrderMark());
    ASSERT_TRUE(back.FindChildElement("name"));
    EXPECT_EQ(back.ChildText(), "测试");
    EXPECT_EQ(back.DocumentText(), xml.DocumentText());
}

TEST(XmlDocumentSave, FailureLeavesTheOldFileUntouched)
{
    ScratchFolder scratch;
    const std::string old = "old bytes \xB5\xE3";
    const std::string path = scratch.Write("keep.kml", old);

    // A character GBK cannot hold.
    XmlDocument gbk;
    ASSERT_TRUE(gbk.SetDocumentText("<?xml version=\"1.0\" encoding=\"GBK\"?>"));
    ASSERT_TRUE(gbk.AddElement("kml", "点 \xF0\x9F\x98\x80"));
    bool ok = true;
    EXPECT_EQ(gbk.SavedBytes(&ok), "");
    EXPECT_FALSE(ok);
    EXPECT_FALSE(gbk.Save(path));
    EXPECT_NE(gbk.Result().find("unrepresentable"), std::string::npos);
    EXPECT_EQ(ScratchFolder::Read(path), old);

    // A folder that does not exist.
    XmlDocument plain;
    ASSERT_TRUE(plain.AddElement("kml"));
    EXPECT_FALSE(plain.Save(scratch / "missing/out.kml"));
    EXPECT_NE(plain.Result().find("file_error"), std::string::npos);
    EXPECT_FALSE(plain.Load(scratch.Path().string())); // a folder
    EXPECT_NE(plain.Result().find("file_error"), std::string::npos);
    // Nor does a failed load touch anything.
    EXPECT_FALSE(plain.Load(scratch / "missing.kml"));
    EXPECT_NE(plain.Result().find("file_error"), std::string::npos);
    EXPECT_EQ(plain.DocumentText(), "");
}

} // namespace
} // namespace carvento::fileconv
