package demo;

/** A small application started through the launcher: it shows what it was given. */
public final class DemoApp {
    private DemoApp() {}

    public static void main(String[] args) {
        System.out.println("Hello from a Java application started in-process by the launcher.");
        System.out.println("Java " + System.getProperty("java.version") + " (" + System.getProperty("java.vm.name") + ")");
        System.out.println("Arguments: " + args.length);
        for (int i = 0; i < args.length; i++) {
            System.out.println("  [" + i + "] " + args[i]);
        }
        String[] properties = {"java.class.path", "java.library.path", "ide.config_pathname", "env.user", "demo.greeting"};
        for (String name : properties) {
            System.out.println(name + " = " + System.getProperty(name));
        }
    }
}
