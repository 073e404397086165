// Prints what the running JDK's modules hold, for make_table.py: a line
// "module NAME PACKAGE..." for each module (but the JDK's own tools), and a
// line "charsets NAME..."
// with every name and alias of the charsets that java.base does not hold.
import java.lang.module.ModuleDescriptor;
import java.lang.module.ModuleFinder;
import java.lang.module.ModuleReference;
import java.nio.charset.Charset;
import java.util.TreeSet;

public class JdkPackages {
    public static void main(String[] args) {
        System.out.println("release " + Runtime.version().feature() + " " + System.getProperty("java.vendor")
                + " " + System.getProperty("java.runtime.version"));
        TreeSet<String> lines = new TreeSet<>();
        for (ModuleReference ref : ModuleFinder.ofSystem().findAll()) {
            ModuleDescriptor d = ref.descriptor();
            // A command-line tool of the JDK that exports nothing: no
            // application can link against it, and no runtime needs it.
            boolean tool = d.provides().stream().anyMatch(p -> p.service().equals("java.util.spi.ToolProvider"));
            if (tool && d.exports().isEmpty()) {
                continue;
            }
            lines.add("module " + d.name() + " " + String.join(" ", new TreeSet<>(d.packages())));
        }
        lines.forEach(System.out::println);
        TreeSet<String> names = new TreeSet<>();
        for (Charset c : Charset.availableCharsets().values()) {
            if (!"java.base".equals(c.getClass().getModule().getName())) {
                names.add(c.name().toLowerCase());
                c.aliases().forEach(a -> names.add(a.toLowerCase()));
            }
        }
        System.out.println("charsets " + String.join(" ", names));
    }
}
