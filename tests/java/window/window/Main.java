package window;

import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Paths;
import javax.swing.JFrame;
import javax.swing.SwingUtilities;

// A desktop application for the package checks: it writes its arguments to
// $WINDOW_ARGS_FILE, prints a line, and shows a window for $WINDOW_SECONDS
// (0: none).
public class Main {
    public static void main(String[] args) throws Exception {
        String argsFile = System.getenv("WINDOW_ARGS_FILE");
        if (argsFile != null) {
            Files.write(Paths.get(argsFile), String.join("\n", args).getBytes(StandardCharsets.UTF_8));
        }
        System.out.println("window: started with " + args.length + " arguments");
        long seconds = Long.parseLong(System.getenv().getOrDefault("WINDOW_SECONDS", "0"));
        if (seconds == 0) {
            return;
        }
        SwingUtilities.invokeLater(() -> {
            JFrame frame = new JFrame("Loftwick window check");
            frame.setSize(240, 120);
            frame.setVisible(true);
        });
        Thread.sleep(seconds * 1000);
        System.exit(0);
    }
}
