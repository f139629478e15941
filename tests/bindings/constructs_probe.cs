// Drives the C# binding of constructs.h through the fixture library under mono: text in
// both widths, records by value, by ref and in arrays, null pointers, handles, delegates.
using System;
using System.Runtime.InteropServices;
using System.Text;
using Zelkor;

static class ConstructsProbe
{
    static int passed, failed;
    static readonly StringBuilder seen = new StringBuilder();
    static readonly ZkFixLevelLog Level = (level, text) => seen.Append(level).Append(':').Append(text).Append('|');
    static readonly ZkFixNarrowLog Narrow = (line, context) => { seen.Append(line).Append('|'); return 41; };

    static void Check(bool ok, string what)
    {
        if (ok) passed++;
        else { failed++; Console.WriteLine("FAIL: " + what); }
    }

    static int Main()
    {
        var buf = new byte[32];
        Check(Native.ZkFix_Echo("h\u00e9 \u2192", buf, buf.Length) == 7 && Native.TextOf(buf) == "h\u00e9 \u2192",
              "narrow text goes in as UTF-8");
        var wide = new StringBuilder(8);
        Check(Native.ZkFix_EchoW("x\u2192\U0001F600", wide, 8) == 4 && wide.ToString() == "x\u2192\U0001F600",
              "wide text in and out: " + wide);

        ZkFixOuter o = Native.ZkFix_Outer(7);
        Check(o.first.a == 7 && o.more[1].b == 9 && o.guid.Data4[7] == 0x42 && o.grid[5] == -5 && o.total == 77
              && o.bytes == (UIntPtr)(1u << 20), "large record returned by value");
        ZkFixInner i = Native.ZkFix_Inner(5);
        Check(i.a == 5 && i.b == 3, "small record returned by value");
        var t = new ZkFixTight();
        Native.ZkFix_Tight(0xDEADBEEF, ref t);
        Check(t.a == 1 && t.b == 0xDEADBEEF && t.text == "ok", "packed record filled");

        Check(Native.ZkFix_Sum(new[] { 1, 2, int.MaxValue }, 3) == 3L + int.MaxValue, "input array");
        Check(Native.ZkFix_Sum(null, 0) == 0, "null input array");
        var recs = new ZkFixMixed[3];
        Check(Native.ZkFix_Fill(recs, 3) == 3, "record array filled");
        ZkFixMixed r = recs[2];
        Check(r.flag == 2 && r.value == 2.5 && Native.TextOf(r.narrow) == "n\u2192" && r.wide == "\u21922"
              && r.names[16] == (byte)'l' && r.big == -1 && r.unit == 'u' && r.kind == (int)ZkFixKind.ZK_FIX_TEN,
              "record array fields");

        uint err = 0;
        Native.ZkFix_Optional(IntPtr.Zero, ref err);
        Check(err == 87, "null record pointer");
        var guid = new ZkFixGuid { Data1 = 5 };
        Native.ZkFix_Optional(ref guid, ref err);
        Check(err == 5, "record pointer and scalar out pointer");
        Native.ZkFix_Optional(ref guid, IntPtr.Zero);

        ZkFixHandle h = Native.ZkFix_Start("mid");
        Check(!h.IsNull, "handle returned");
        Native.ZkFix_Stop(h);
        Check(Native.ZkFix_Start("bad").IsNull && Native.ZkFix_Start(null).IsNull, "null handle");

        Check(Marshal.PtrToStringAnsi(Native.ZkFix_Name()) == "fixture", "narrow text returned");
        Check(Native.ZkFix_Log(Level, Narrow) == 41 && seen.ToString() == "2:wide \u2192 text|narrow \u2192 text|",
              "delegates get decoded text and return values: " + seen);
        Check(Native.ZkFix_Log(null, null) == -1, "null delegates");

        Console.WriteLine(passed + " passed, " + failed + " failed");
        return failed == 0 ? 0 : 1;
    }
}
