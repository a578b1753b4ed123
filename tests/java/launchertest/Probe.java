package launchertest;

/**
 * Prints what the launcher handed to the application: each argument as arg[i]=value, then the
 * system properties the launcher sets, then each property asked for by an argument property=NAME.
 * An argument exit=N ends the VM with N; throw lets an exception escape main; read=FILE prints
 * what the file of that name holds. Characters outside printable ASCII are written as \\uXXXX,
 * so the output does not depend on the console's encoding.
 */
public final class Probe {
    public static void main(String[] args) {
        for (int i = 0; i < args.length; i++) {
            System.out.println("arg[" + i + "]=" + escape(args[i]));
        }
        print("java.class.path");
        print("java.library.path");
        print("ide.config_pathname");
        for (String arg : args) {
            if (arg.startsWith("property=")) {
                print(arg.substring("property=".length()));
            }
        }
        System.out.flush();
        for (String arg : args) {
            if (arg.startsWith("exit=")) {
                System.exit(Integer.parseInt(arg.substring("exit=".length())));
            }
            if (arg.equals("throw")) {
                throw new IllegalStateException("thrown on request");
            }
            // After the exception's line, whose number the tests compare: the VM's maximum heap.
            if (arg.equals("maxmemory")) {
                System.out.println("maxMemory=" + Runtime.getRuntime().maxMemory());
            }
            // A file by the name as given, relative ones from the working directory.
            if (arg.startsWith("read=")) {
                String name = arg.substring("read=".length());
                try {
                    byte[] content = java.nio.file.Files.readAllBytes(java.nio.file.Paths.get(name));
                    System.out.println(name + " holds " + escape(new String(content, "UTF-8")));
                } catch (java.io.IOException e) {
                    System.out.println(name + " cannot be read: " + e);
                }
            }
        }
    }

    private static void print(String name) {
        String value = System.getProperty(name);
        System.out.println(name + "=" + (value == null ? "<unset>" : escape(value)));
    }

    /** The text with every character outside printable ASCII written as a Java escape. */
    static String escape(String text) {
        StringBuilder out = new StringBuilder();
        for (char c : text.toCharArray()) {
            if (c >= 0x20 && c < 0x7f) {
                out.append(c);
            } else {
                out.append(String.format("\\u%04x", (int) c));
            }
        }
        return out.toString();
    }
}
