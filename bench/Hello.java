// The application every timed Java launch runs: it prints one line and returns. It uses no
// string concatenation, whose first use costs the VM a bootstrap that a minimal program
// does not pay. With the arguments "--resource NAME" it says whether the class path holds
// that resource, which shows that the jars on it are read.
public class Hello {
    public static void main(String[] args) {
        if (args.length == 2 && args[0].equals("--resource")) {
            System.out.print(ClassLoader.getSystemResource(args[1]) != null ? "found " : "missing ");
            System.out.println(args[1]);
            return;
        }
        System.out.println("Hello from the benchmark");
    }
}
