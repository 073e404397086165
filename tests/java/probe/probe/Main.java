package probe;

// Reports what it was started with, one fact a line, and then ends as its
// first argument asks: "exit3" with System.exit(3), "throw" with an exception;
// "splash" reports whether a splash screen shows (through reflection, so
// that a runtime without java.desktop still loads this class). For the
// desktop's failure report: "silent7" ends with 7 before printing anything,
// "nul" prints a NUL inside a line and ends with 3, "wait" waits to be ended,
// "spawn" leaves a process behind that holds its output, and ends with 2.
public class Main {
    public static void main(String[] args) throws Exception {
        String first = args.length > 0 ? args[0] : "";
        if (first.equals("silent7")) {
            System.exit(7);
        }
        System.out.println("argc=" + args.length);
        for (int i = 0; i < args.length; i++) {
            System.out.println("arg[" + i + "]=" + args[i]);
        }
        for (String key : new String[] {"loftwick.app-path", "probe.option", "probe.appdir",
                                        "probe.bindir", "probe.rootdir"}) {
            System.out.println(key + "=" + System.getProperty(key));
        }
        System.out.println("greeting=" + util.Greeting.of("probe"));
        if (args.length > 0 && args[0].equals("splash")) {
            try {
                Object splash = Class.forName("java.awt.SplashScreen").getMethod("getSplashScreen").invoke(null);
                System.out.println("splash=" + (splash != null));
            } catch (ReflectiveOperationException e) {
                System.out.println("splash=" + e);
            }
        }
        if (first.equals("exit3")) {
            System.exit(3);
        }
        if (first.equals("nul")) {
            System.err.println("before\0after");
            System.exit(3);
        }
        if (first.equals("wait")) {
            System.out.flush();
            Thread.sleep(60000);
        }
        if (first.equals("spawn")) {
            new ProcessBuilder("sleep", "30").inheritIO().start();
            System.err.println("Error: failed after starting a helper");
            System.exit(2);
        }
        if (args.length > 0 && args[0].equals("throw")) {
            throw new IllegalStateException("boom from main");
        }
    }
}
