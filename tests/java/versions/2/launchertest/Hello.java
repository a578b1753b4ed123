package launchertest;

/** Version 2 of an application whose jar is replaced in place: says which version runs. */
public final class Hello {
    public static void main(String[] args) throws InterruptedException {
        System.out.println("hello v2");
        for (String arg : args) {
            if (arg.startsWith("sleep=")) {
                Thread.sleep(Long.parseLong(arg.substring("sleep=".length())));
            }
        }
    }
}
