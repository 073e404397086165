package probe;

// Reports what it was started with, one fact a line, and then ends as its
// first argument asks: "exit3" with System.exit(3), "throw" with an exception;
// "splash" reports whether a splash screen shows (through reflection, so
// that a runtime without java.desktop still loads this class).
public class Main {
    public static void main(String[] args) {
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
        if (args.length > 0 && args[0].equals("exit3")) {
            System.exit(3);
        }
        if (args.length > 0 && args[0].equals("throw")) {
            throw new IllegalStateException("boom from main");
        }
    }
}
