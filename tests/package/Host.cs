// A C# host built against the installed NuGet package's assembly. "Host.exe run" is what it does
// on Windows beside Zelkor.dll; without it (under mono) it prints the assembly's version and the
// size of every record and handle as the marshaller lays them out, calling no export.
using System;
using System.Reflection;
using System.Runtime.InteropServices;
using Zelkor;

static class Host
{
    static readonly QtmLogCallback Log = line => Console.WriteLine(line);

    static int Main(string[] args)
    {
        if (args.Length > 0 && args[0] == "run")
        {
            Native.QTM_SetLogCallback(Log);
            if (Native.QTM_Start() != 1) return 1;
            System.Threading.Thread.Sleep(500);
            Console.WriteLine("stutter risk " + Native.QTM_GetStutterRisk());
            Native.QTM_Stop();
            return 0;
        }
        Assembly zelkor = typeof(Native).Assembly;
        Console.WriteLine("version " + zelkor.GetCustomAttribute<AssemblyInformationalVersionAttribute>().InformationalVersion);
        foreach (Type t in zelkor.GetExportedTypes())
            if (t.IsValueType && !t.IsEnum) Console.WriteLine(t.Name + " " + Marshal.SizeOf(t));
        return 0;
    }
}
